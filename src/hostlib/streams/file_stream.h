#pragma once
// The open file behind a FileStream: a C library file in byte mode, which
// switches between reading and writing as the C library requires (a seek
// in between), so that scripts may mix them freely.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hostlib/streams/byte_io.h"

namespace plumex::hostlib::streams {

class FileStream final : public ByteIo {
public:
  // A new temporary file, removed when closed; null when none can be made.
  static std::unique_ptr<FileStream> openTemporary();
  // An existing file for reading and writing; null when it cannot be
  // opened (it does not exist, among other reasons).
  static std::unique_ptr<FileStream> openExisting(const std::string& path);
  // The C library's open with a mode as byteMode() makes it; null for a
  // mode it refuses or when the open fails.
  static std::unique_ptr<FileStream> open(const std::string& path, std::string_view mode);

  // A script's mode text for the C library, always in byte mode: "r", "w"
  // or "a", then "+", "b" and "t" in any order, none twice and not both
  // "b" and "t"; "t" becomes "b" and "b" is added when neither is there.
  // Nothing for any other text: the C library may end the process when
  // given a mode it does not know.
  static std::optional<std::string> byteMode(std::string_view mode);

  explicit FileStream(std::FILE* file) : file_(file) {}
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::size_t read(std::span<std::uint8_t> out) override;
  int get() override;
  bool write(std::span<const std::uint8_t> bytes) override;
  bool put(std::uint8_t byte);
  // Steps back one byte; with a byte, puts that byte back to be read next.
  bool unget();
  bool unget(std::uint8_t byte);
  bool flush();

  // Bytes up to and including a line feed or the end of the file, less a
  // final CR LF or LF.
  std::string readLine();

  std::optional<std::uint64_t> position();
  bool seek(std::uint64_t position);
  std::optional<std::uint64_t> size();
  // Moves to the start and cuts the file to `size` bytes, which must be
  // less than its size.
  bool truncate(std::uint64_t size);
  // The C library's end-of-file flag.
  bool eof() const { return std::feof(file_) != 0; }

private:
  enum class Direction { None, Reading, Writing };
  void turnTo(Direction d);

  std::FILE* file_;
  Direction direction_ = Direction::None;
};

} // namespace plumex::hostlib::streams
