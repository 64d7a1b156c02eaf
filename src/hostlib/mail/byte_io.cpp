#include "hostlib/mail/byte_io.h"

#include <algorithm>

namespace plumex::hostlib::mail {
namespace {

constexpr std::size_t kChunk = 256 * 1024;

} // namespace

bool StringSource::copy(std::uint64_t start, std::uint64_t end, ByteSink& to) {
  if (start > end || end > text_.size()) return false;
  return to.write(text_.substr(start, end - start));
}

bool FileSink::put(std::string_view bytes) {
  if (failed_) return false;
  if (buffer_.size() + bytes.size() <= kChunk) {
    buffer_ += bytes;
    return true;
  }
  if (!flush()) return false;
  if (bytes.size() >= kChunk) {
    failed_ = !file_.write(bytes.data(), bytes.size());
    return !failed_;
  }
  buffer_ = bytes;
  return true;
}

bool FileSink::flush() {
  if (!failed_ && !buffer_.empty()) failed_ = !file_.write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return !failed_;
}

bool FileSource::copy(std::uint64_t start, std::uint64_t end, ByteSink& to) {
  if (start > end || !file_.seek(start)) return false;
  std::string chunk;
  for (std::uint64_t at = start; at < end;) {
    chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kChunk)));
    if (!file_.readExactly(chunk.data(), chunk.size()) || !to.write(chunk)) return false;
    at += chunk.size();
  }
  return true;
}

bool FileSource::read(std::uint64_t start, std::uint64_t end, std::string& out) {
  if (start > end || !file_.seek(start)) return false;
  out.resize(static_cast<std::size_t>(end - start));
  return file_.readExactly(out.data(), out.size());
}

} // namespace plumex::hostlib::mail
