#include "hostlib/streams/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace plumex::hostlib::streams {

void MemoryStream::seekRead(std::uint64_t position) {
  get_ = position;
  eof_ = false;
}

void MemoryStream::seekWrite(std::uint64_t position) {
  put_ = position;
  eof_ = false;
}

std::span<const std::uint8_t> MemoryStream::readable() const {
  if (!(mode_ & kIn) || get_ >= bytes_.size()) return {};
  return std::span<const std::uint8_t>(bytes_).subspan(static_cast<std::size_t>(get_));
}

std::size_t MemoryStream::read(std::span<std::uint8_t> out) {
  const std::span<const std::uint8_t> there = readable();
  const std::size_t n = std::min(out.size(), there.size());
  if (n) std::memcpy(out.data(), there.data(), n);
  get_ += n;
  if (n < out.size()) eof_ = true;
  return n;
}

int MemoryStream::get() {
  if ((mode_ & kIn) && get_ < bytes_.size()) return bytes_[static_cast<std::size_t>(get_++)];
  eof_ = true;
  return -1;
}

int MemoryStream::peek() {
  if ((mode_ & kIn) && get_ < bytes_.size()) return bytes_[static_cast<std::size_t>(get_)];
  eof_ = true;
  return -1;
}

std::vector<std::uint8_t> MemoryStream::readUpTo(std::uint64_t count) {
  const std::span<const std::uint8_t> there = readable();
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, there.size()));
  std::vector<std::uint8_t> out(there.begin(), there.begin() + static_cast<std::ptrdiff_t>(n));
  get_ += n;
  if (n < count) eof_ = true;
  return out;
}

bool MemoryStream::unget() {
  if (get_ == 0) return false;
  --get_;
  eof_ = false;
  return true;
}

bool MemoryStream::unget(std::uint8_t byte) {
  if (!unget()) return false;
  if ((mode_ & kOut) && get_ < bytes_.size()) bytes_[static_cast<std::size_t>(get_)] = byte;
  return true;
}

bool MemoryStream::write(std::span<const std::uint8_t> bytes) {
  if (!(mode_ & kOut)) return false;
  if (bytes.empty()) return true;
  if (put_ > kMaxSize || bytes.size() > kMaxSize - put_) return false;
  // The stream written into itself: the buffer may move as it grows.
  const std::less<const std::uint8_t*> before;
  if (!before(bytes.data(), bytes_.data()) && before(bytes.data(), bytes_.data() + bytes_.size())) {
    const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    return write(copy);
  }
  const std::size_t at = static_cast<std::size_t>(put_);
  const std::size_t end = at + bytes.size();
  // Growth doubles the room; a gap before `at` becomes zeros.
  if (end > bytes_.size()) bytes_.resize(end);
  std::memcpy(bytes_.data() + at, bytes.data(), bytes.size());
  put_ = end;
  return true;
}

void MemoryStream::extend(std::uint64_t length) {
  if (!(mode_ & kOut) || length <= bytes_.size() || length > kMaxSize) return;
  bytes_.resize(static_cast<std::size_t>(length));
}

} // namespace plumex::hostlib::streams
