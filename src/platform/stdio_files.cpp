#include "platform/stdio_files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plumex {
namespace {

std::string temporaryFolder() {
  for (const char* name : {"TMP", "TEMP"})
    if (const char* dir = std::getenv(name); dir && *dir) return dir;
  return "/tmp";
}

// The name the system's temporary-file routine gives: the prefix, the
// number in hexadecimal, ".TMP".
std::string temporaryName(const std::string& folder, const std::string& prefix, unsigned number) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%X", number);
  std::string path = folder;
  if (path.back() != '/') path += '/';
  return path + prefix.substr(0, 3) + digits + ".TMP";
}

} // namespace

std::FILE* openTemporaryFile(const std::string& prefix) {
  const std::string folder = temporaryFolder();
  // The numbers have 16 bits, as the system's names do.
  for (unsigned number = 1; number <= 0xFFFF; ++number) {
    const std::string path = temporaryName(folder, prefix, number);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    ::unlink(path.c_str());
    if (std::FILE* file = ::fdopen(fd, "w+b")) return file;
    ::close(fd);
    return nullptr;
  }
  return nullptr;
}

std::optional<std::uint64_t> filePosition(std::FILE* file) {
  const off_t at = ::ftello(file);
  if (at < 0) return std::nullopt;
  return static_cast<std::uint64_t>(at);
}

bool seekFile(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> fileSize(std::FILE* file) {
  struct stat st;
  if (::fstat(::fileno(file), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool resizeFile(std::FILE* file, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0;
}

} // namespace plumex
