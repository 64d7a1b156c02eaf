#include "platform/stdio_files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace plumex {
namespace {

std::string temporaryFolder() {
  char dir[MAX_PATH + 1];
  for (const char* name : {"TMP", "TEMP"}) {
    const DWORD n = GetEnvironmentVariableA(name, dir, sizeof dir);
    if (n > 0 && n <= MAX_PATH) return dir;
  }
  const UINT n = GetWindowsDirectoryA(dir, sizeof dir);
  return n > 0 && n <= MAX_PATH ? dir : "";
}

HANDLE osHandle(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

} // namespace

std::FILE* openTemporaryFile(const std::string& prefix) {
  const std::string folder = temporaryFolder();
  if (folder.empty()) return nullptr;
  for (UINT number = 1; number <= 0xFFFF; ++number) {
    char path[MAX_PATH + 1];
    // With a number of ours the routine only makes the name.
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), number, path) == 0) return nullptr;
    const int fd = _open(path, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_TEMPORARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (std::FILE* file = _fdopen(fd, "w+b")) return file;
    _close(fd);
    return nullptr;
  }
  return nullptr;
}

std::optional<std::uint64_t> filePosition(std::FILE* file) {
  const _off64_t at = ftello64(file);
  if (at < 0) return std::nullopt;
  return static_cast<std::uint64_t>(at);
}

bool seekFile(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return fseeko64(file, static_cast<_off64_t>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> fileSize(std::FILE* file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(osHandle(file), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool resizeFile(std::FILE* file, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  const HANDLE h = osHandle(file);
  LARGE_INTEGER at, end;
  at.QuadPart = 0;
  end.QuadPart = static_cast<LONGLONG>(size);
  // SetEndOfFile cuts at the handle's pointer: move it there and back.
  if (!SetFilePointerEx(h, at, &at, FILE_CURRENT)) return false;
  const bool done = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
  SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
  return done;
}

} // namespace plumex
