#include "platform/files.h"

#include <windows.h>

#include <algorithm>

namespace plumex {
namespace {

HANDLE asHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
constexpr std::intptr_t kNone = -1; // INVALID_HANDLE_VALUE

} // namespace

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : handle_(other.handle_), position_(other.position_) {
  other.handle_ = kNone;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    position_ = other.position_;
    other.handle_ = kNone;
  }
  return *this;
}

bool InputFile::open(const std::string& path) {
  close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  position_ = 0;
  return true;
}

bool InputFile::isOpen() const { return handle_ != kNone; }

std::size_t InputFile::read(void* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    if (!ReadFile(asHandle(handle_), static_cast<char*>(buffer) + done, want, &got, nullptr) ||
        got == 0)
      break;
    done += got;
  }
  position_ += done;
  return done;
}

bool InputFile::seek(std::uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(asHandle(handle_), to, nullptr, FILE_BEGIN)) return false;
  position_ = offset;
  return true;
}

std::uint64_t InputFile::position() const { return position_; }

std::uint64_t InputFile::size() const {
  LARGE_INTEGER size;
  return GetFileSizeEx(asHandle(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

void InputFile::close() {
  if (handle_ != kNone) CloseHandle(asHandle(handle_));
  handle_ = kNone;
}

OutputFile::~OutputFile() { close(); }

bool OutputFile::create(const std::string& path) {
  close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return true;
}

bool OutputFile::write(const void* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    if (!WriteFile(asHandle(handle_), static_cast<const char*>(data) + done, want, &put, nullptr) ||
        put == 0)
      return false;
    done += put;
  }
  return true;
}

bool OutputFile::close() {
  if (handle_ == kNone) return true;
  const bool ok = CloseHandle(asHandle(handle_)) != 0;
  handle_ = kNone;
  return ok;
}

bool fileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) || directoryExists(path);
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool renameFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool removeTree(const std::string& path) {
  std::string dir = path;
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &found);
  bool ok = true;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = dir + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        ok = removeTree(child) && ok;
      else
        ok = DeleteFileA(child.c_str()) && ok;
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return RemoveDirectoryA(dir.c_str()) && ok;
}

std::string createTemporaryFile(const std::string& prefix) {
  char dir[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof dir, dir);
  if (n == 0 || n > MAX_PATH) return {};
  char path[MAX_PATH + 1];
  // A unique number of its own choice; the file is created.
  if (GetTempFileNameA(dir, prefix.c_str(), 0, path) == 0) return {};
  return path;
}

} // namespace plumex
