#pragma once
// A file written under a name of its own beside its target and put in the
// target's place only once complete, so that a failure half-way leaves
// the target as it was.

#include <cstddef>
#include <string>

#include "platform/files.h"

namespace plumex::hostlib::crypto {

class PendingFile {
public:
  explicit PendingFile(std::string target);
  // Removes the file unless it was committed.
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the file under a free temporary name.
  bool create();
  bool write(const void* data, std::size_t size) { return file_.write(data, size); }
  // Closes the file and renames it to the target, replacing it.
  bool commit();

private:
  std::string target_;
  std::string temporary_;  // empty until created, and once committed
  OutputFile file_;
};

} // namespace plumex::hostlib::crypto
