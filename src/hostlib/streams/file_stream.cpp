#include "hostlib/streams/file_stream.h"

#include "platform/stdio_files.h"

namespace plumex::hostlib::streams {

std::unique_ptr<FileStream> FileStream::openTemporary() {
  std::FILE* f = openTemporaryFile("~pm");
  return f ? std::make_unique<FileStream>(f) : nullptr;
}

std::unique_ptr<FileStream> FileStream::openExisting(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  return f ? std::make_unique<FileStream>(f) : nullptr;
}

std::unique_ptr<FileStream> FileStream::open(const std::string& path, std::string_view mode) {
  const std::optional<std::string> m = byteMode(mode);
  if (!m) return nullptr;
  std::FILE* f = std::fopen(path.c_str(), m->c_str());
  return f ? std::make_unique<FileStream>(f) : nullptr;
}

std::optional<std::string> FileStream::byteMode(std::string_view mode) {
  if (mode.empty() || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return std::nullopt;
  std::string out(1, mode[0]);
  bool plus = false, kind = false;
  for (char c : mode.substr(1)) {
    bool& seen = c == '+' ? plus : kind;
    if ((c != '+' && c != 'b' && c != 't') || seen) return std::nullopt;
    seen = true;
    out += c == 't' ? 'b' : c;
  }
  if (!kind) out += 'b';
  return out;
}

FileStream::~FileStream() { std::fclose(file_); }

void FileStream::turnTo(Direction d) {
  // Between a write and a read, either way, the C library needs a seek.
  if (direction_ != Direction::None && direction_ != d) std::fseek(file_, 0, SEEK_CUR);
  direction_ = d;
}

std::size_t FileStream::read(std::span<std::uint8_t> out) {
  turnTo(Direction::Reading);
  return std::fread(out.data(), 1, out.size(), file_);
}

int FileStream::get() {
  turnTo(Direction::Reading);
  const int c = std::fgetc(file_);
  return c == EOF ? -1 : c;
}

bool FileStream::write(std::span<const std::uint8_t> bytes) {
  turnTo(Direction::Writing);
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool FileStream::put(std::uint8_t byte) {
  turnTo(Direction::Writing);
  return std::fputc(byte, file_) != EOF;
}

bool FileStream::unget() {
  const auto at = position();
  return at && *at > 0 && seek(*at - 1);
}

bool FileStream::unget(std::uint8_t byte) {
  turnTo(Direction::Reading);
  return std::ungetc(byte, file_) != EOF;
}

bool FileStream::flush() {
  // Only writes: some C libraries drop what they read ahead on a flush.
  return direction_ != Direction::Writing || std::fflush(file_) == 0;
}

std::string FileStream::readLine() {
  std::string line;
  for (int c = get(); c >= 0; c = get()) {
    line += static_cast<char>(c);
    if (c == '\n') break;
  }
  if (line.ends_with("\r\n")) line.resize(line.size() - 2);
  else if (line.ends_with('\n')) line.pop_back();
  return line;
}

std::optional<std::uint64_t> FileStream::position() { return filePosition(file_); }

bool FileStream::seek(std::uint64_t position) {
  // A seek is itself the switch between directions.
  direction_ = Direction::None;
  return seekFile(file_, position);
}

std::optional<std::uint64_t> FileStream::size() {
  if (!flush()) return std::nullopt;
  return fileSize(file_);
}

bool FileStream::truncate(std::uint64_t size) {
  const auto now = this->size();
  if (!now || size >= *now || !seek(0)) return false;
  return resizeFile(file_, size);
}

} // namespace plumex::hostlib::streams
