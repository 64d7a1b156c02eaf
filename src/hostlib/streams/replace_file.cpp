#include "hostlib/streams/replace_file.h"

#include "platform/files.h"

namespace plumex::hostlib::streams {

bool replaceFile(const std::string& target, std::span<const std::uint8_t> bytes) {
  for (int n = 1; n <= 100; ++n) {
    const std::string pending = target + ".~pm" + std::to_string(n);
    if (fileExists(pending) || directoryExists(pending)) continue;
    OutputFile file;
    if (!file.create(pending)) return false;
    if (file.write(bytes.data(), bytes.size()) && file.close() && renameFile(pending, target)) return true;
    file.close();
    removeFile(pending);
    return false;
  }
  return false;
}

} // namespace plumex::hostlib::streams
