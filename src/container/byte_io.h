#pragma once
// Little-endian readers and writers over byte blocks. Every read is bounded
// by the block: a stored record can never make us read past its end.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "container/container_errors.h"

namespace plumex::container {

class ByteReader {
public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t remaining() const { return data_.size() - pos_; }
  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ == data_.size(); }

  std::uint8_t u8() { return take(1)[0]; }
  std::uint16_t u16() {
    const std::uint8_t* p = take(2);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }
  std::uint32_t u32() {
    const std::uint8_t* p = take(4);
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

  std::span<const std::uint8_t> bytes(std::size_t n) { return {take(n), n}; }
  void skip(std::size_t n) { take(n); }

private:
  const std::uint8_t* take(std::size_t n) {
    if (n > remaining()) throw FormatError("record ends early");
    const std::uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

class ByteWriter {
public:
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }

  std::vector<std::uint8_t>& data() { return out_; }
  std::vector<std::uint8_t> take() { return std::move(out_); }

private:
  std::vector<std::uint8_t> out_;
};

inline std::span<const std::uint8_t> asBytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

} // namespace plumex::container
