#pragma once
// The file a message's text lives in: a temporary file "~pm..." in the
// user's temporary folder, deleted with its owner.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace plumex::hostlib::mail {

class MessageStore {
public:
  // Nothing when no temporary file can be made.
  static std::optional<MessageStore> create();
  ~MessageStore();
  MessageStore(MessageStore&& other) noexcept;
  MessageStore& operator=(MessageStore&& other) noexcept;
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  const std::string& path() const { return path_; }
  std::uint64_t size() const;
  // Replaces the content.
  bool assign(std::string_view bytes);
  bool read(std::string& out) const;
  // Opens the file for reading ranges of it.
  bool openForReading(InputFile& file) const { return file.open(path_); }

private:
  explicit MessageStore(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

} // namespace plumex::hostlib::mail
