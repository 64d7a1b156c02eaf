#pragma once
// What the members both stream classes share read and write through: the
// in-memory stream and the file stream each provide it.

#include <cstdint>
#include <span>
#include <vector>

namespace plumex::hostlib::streams {

class ByteIo {
public:
  virtual ~ByteIo() = default;

  // Up to out.size() bytes; fewer at the end of data.
  virtual std::size_t read(std::span<std::uint8_t> out) = 0;
  // The next byte, or -1 at the end of data.
  virtual int get() = 0;
  // False when not everything was written.
  virtual bool write(std::span<const std::uint8_t> bytes) = 0;

  // Up to `count` bytes, growing with what arrives rather than reserving
  // the count: a script may ask for far more than there is.
  virtual std::vector<std::uint8_t> readUpTo(std::uint64_t count);
};

} // namespace plumex::hostlib::streams
