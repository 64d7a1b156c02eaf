#include "script/compiler/script_stream.h"

#include <bit>
#include <charconv>
#include <cstring>

#include "script/values/engine.h"

namespace plumex::script::compiler {

ScriptStream::ScriptStream(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

ScriptStream::~ScriptStream() { close(); }

std::unique_ptr<ScriptStream> ScriptStream::openText(std::string_view text) {
  std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::StringInput, "string"));
  s->text_.assign(text);
  s->rewind();
  return s;
}

std::unique_ptr<ScriptStream> ScriptStream::openMemory() {
  return std::unique_ptr<ScriptStream>(new ScriptStream(Kind::MemoryOutput, "string"));
}

std::unique_ptr<ScriptStream> ScriptStream::openFile(const std::string& path) {
  std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::FileInput, path));
  if (!s->in_.open(path)) return nullptr;
  s->open_ = true;
  s->block_.resize(kBlockSize);
  s->rewind();
  return s;
}

std::unique_ptr<ScriptStream> ScriptStream::openFile(Engine& engine, const std::string& path) {
  auto s = openFile(path);
  if (!s) engine.setErrorText(engine.errorText() + "can't open the script file: " + path + "\n");
  return s;
}

std::unique_ptr<ScriptStream> ScriptStream::createFile(const std::string& path) {
  std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::FileOutput, path));
  if (!s->out_.create(path)) return nullptr;
  s->open_ = true;
  s->block_.reserve(kBlockSize);
  return s;
}

void ScriptStream::rewind() {
  pushed_.clear();
  ended_ = false;
  pos_ = 0;
  if (kind_ == Kind::StringInput) {
    data_ = text_.data();
    end_ = text_.size();
  } else if (kind_ == Kind::FileInput) {
    data_ = block_.data();
    end_ = 0;
    if (!in_.seek(0)) ended_ = true;
  }
}

int ScriptStream::refill() {
  if (ended_ || kind_ != Kind::FileInput) {
    ended_ = true;
    return 0;
  }
  const std::size_t n = in_.read(block_.data(), block_.size());
  if (n == 0) {
    ended_ = true;
    return 0;
  }
  pos_ = 0;
  end_ = n;
  return read();
}

void ScriptStream::writeBytes(const void* data, std::size_t size) {
  if (size == 0) return;
  if (kind_ == Kind::MemoryOutput) {
    memory_.append(static_cast<const char*>(data), size);
    return;
  }
  if (kind_ != Kind::FileOutput || !open_) return;
  // A long run goes straight to the file rather than through the block.
  if (block_.size() + size > kBlockSize || size >= kBlockSize / 2) flush();
  if (size >= kBlockSize / 2) {
    if (!out_.write(data, size)) failed_ = true;
    return;
  }
  const char* p = static_cast<const char*>(data);
  block_.insert(block_.end(), p, p + size);
}

void ScriptStream::writeDecimal(std::int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  writeBytes(buf, static_cast<std::size_t>(r.ptr - buf));
}

void ScriptStream::writeByte(std::uint8_t c) { writeBytes(&c, 1); }

void ScriptStream::writeDoubleLE(double d) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  writeBytes(b, 8);
}

void ScriptStream::writeFixed(double d) {
  // Fixed notation with six decimals, the same in both builds.
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
  writeBytes(buf, static_cast<std::size_t>(r.ptr - buf));
}

void ScriptStream::writeU16BE(std::uint16_t v) {
  const std::uint8_t b[2] = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  writeBytes(b, 2);
}

void ScriptStream::writeU32BE(std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  writeBytes(b, 4);
}

void ScriptStream::writeText(std::string_view s) { writeBytes(s.data(), s.size()); }

void ScriptStream::writeCounted(const void* data, std::size_t size) {
  writeU32BE(static_cast<std::uint32_t>(size));
  writeBytes(data, size);
}

void ScriptStream::flush() {
  if (kind_ != Kind::FileOutput || !open_ || block_.empty()) return;
  if (!out_.write(block_.data(), block_.size())) failed_ = true;
  block_.clear();
}

bool ScriptStream::close() {
  if (!open_) return !failed_;
  flush();
  open_ = false;
  if (kind_ == Kind::FileOutput) {
    if (!out_.close()) failed_ = true;
  } else {
    in_.close();
  }
  return !failed_;
}

} // namespace plumex::script::compiler
