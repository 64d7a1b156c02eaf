#pragma once
// Where composed bytes go and where the bodies of existing parts are
// copied from: memory for tests and fuzzing, files for the message store.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace plumex::hostlib::mail {

class ByteSink {
public:
  virtual ~ByteSink() = default;
  bool write(std::string_view bytes) {
    written_ += bytes.size();
    return put(bytes);
  }
  std::uint64_t written() const { return written_; }

protected:
  virtual bool put(std::string_view bytes) = 0;

private:
  std::uint64_t written_ = 0;
};

class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Writes bytes [start, end) to the sink.
  virtual bool copy(std::uint64_t start, std::uint64_t end, ByteSink& to) = 0;
};

class StringSink : public ByteSink {
public:
  std::string text;

protected:
  bool put(std::string_view bytes) override {
    text += bytes;
    return true;
  }
};

class StringSource : public ByteSource {
public:
  explicit StringSource(std::string_view text) : text_(text) {}
  bool copy(std::uint64_t start, std::uint64_t end, ByteSink& to) override;

private:
  std::string_view text_;
};

// Writes through a buffer: composing writes many small pieces.
class FileSink : public ByteSink {
public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  ~FileSink() override = default;
  // Writes what is buffered; false when any write failed.
  bool flush();

protected:
  bool put(std::string_view bytes) override;

private:
  OutputFile& file_;
  std::string buffer_;
  bool failed_ = false;
};

class FileSource : public ByteSource {
public:
  explicit FileSource(InputFile& file) : file_(file) {}
  bool copy(std::uint64_t start, std::uint64_t end, ByteSink& to) override;
  // Bytes [start, end) into out.
  bool read(std::uint64_t start, std::uint64_t end, std::string& out);

private:
  InputFile& file_;
};

} // namespace plumex::hostlib::mail
