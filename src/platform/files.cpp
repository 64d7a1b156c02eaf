#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plumex {

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : handle_(other.handle_), position_(other.position_) {
  other.handle_ = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    position_ = other.position_;
    other.handle_ = -1;
  }
  return *this;
}

bool InputFile::open(const std::string& path) {
  close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  position_ = 0;
  return true;
}

bool InputFile::isOpen() const { return handle_ >= 0; }

std::size_t InputFile::read(void* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  return done;
}

bool InputFile::seek(std::uint64_t offset) {
  if (lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  position_ = offset;
  return true;
}

std::uint64_t InputFile::position() const { return position_; }

std::uint64_t InputFile::size() const {
  struct stat st;
  return fstat(static_cast<int>(handle_), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

OutputFile::~OutputFile() { close(); }

bool OutputFile::create(const std::string& path) {
  close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  handle_ = fd;
  return fd >= 0;
}

bool OutputFile::write(const void* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(static_cast<int>(handle_), static_cast<const char*>(data) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool OutputFile::close() {
  if (handle_ < 0) return true;
  const bool ok = ::close(static_cast<int>(handle_)) == 0;
  handle_ = -1;
  return ok;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || directoryExists(path);
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool removeTree(const std::string& path) {
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool ok = true;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string child = dir + "/" + name;
    struct stat st;
    if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      ok = removeTree(child) && ok;
    else
      ok = unlink(child.c_str()) == 0 && ok;
  }
  closedir(d);
  return rmdir(dir.c_str()) == 0 && ok;
}

std::string createTemporaryFile(const std::string& prefix) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  path += "/" + prefix + "XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return {};
  ::close(fd);
  return path;
}

} // namespace plumex
