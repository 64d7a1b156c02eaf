#pragma once
// Files named by ANSI paths, the way the runtime names them on Windows
// (the native build takes the bytes as they are). Paths use
// kPathSeparator; the runtime's own paths are built with it.

#include <cstdint>
#include <string>

namespace plumex {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Read-only, others may not write while it is open.
class InputFile {
public:
  InputFile() = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool open(const std::string& path);
  bool isOpen() const;
  // Bytes read; 0 at the end or on an error.
  std::size_t read(void* buffer, std::size_t size);
  bool readExactly(void* buffer, std::size_t size) { return read(buffer, size) == size; }
  bool seek(std::uint64_t offset);
  std::uint64_t position() const;
  std::uint64_t size() const;
  void close();

private:
  std::intptr_t handle_ = -1;
  std::uint64_t position_ = 0;
};

// Created (or truncated) for writing; others may not write while it is open.
class OutputFile {
public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool create(const std::string& path);
  bool write(const void* data, std::size_t size);
  bool close();

private:
  std::intptr_t handle_ = -1;
};

bool fileExists(const std::string& path);      // a file, not a directory
bool directoryExists(const std::string& path);
bool makeDirectory(const std::string& path);    // true when it exists afterwards
bool removeFile(const std::string& path);
bool renameFile(const std::string& from, const std::string& to); // replaces `to`
// Deletes a directory with everything in it.
bool removeTree(const std::string& path);
// A new empty file of a unique name that starts with `prefix` (three
// characters at most) in the user's temporary folder: its path, or "" when
// none can be made. The caller removes it.
std::string createTemporaryFile(const std::string& prefix);

} // namespace plumex
