#pragma once
// The in-memory stream behind a StringStream: a growable byte buffer with
// a read and a write position of its own, an end-of-data flag and an open
// mode. Without input every read finds the end of data; without output
// writes do nothing. A position may lie past the end: reading there finds
// the end, and writing there first fills the gap with zero bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "hostlib/streams/byte_io.h"

namespace plumex::hostlib::streams {

class MemoryStream final : public ByteIo {
public:
  enum Mode : int { kIn = 1, kOut = 2 };
  // The longest content: a write or a length that would go past it does
  // nothing, so that a position set far out cannot fill the address
  // space with zeros.
  static constexpr std::uint64_t kMaxSize = std::uint64_t{1} << 30;

  explicit MemoryStream(int mode = kIn | kOut) : mode_(mode & (kIn | kOut)) {}
  // As if the content had been written into a new stream: read from the
  // start, written at the end.
  explicit MemoryStream(std::vector<std::uint8_t> content)
      : bytes_(std::move(content)), put_(bytes_.size()), mode_(kIn | kOut) {}

  // The whole content, whatever the positions.
  const std::vector<std::uint8_t>& content() const { return bytes_; }
  // Bytes the buffer holds room for, to charge the engine for growth.
  std::size_t capacity() const { return bytes_.capacity(); }
  int mode() const { return mode_; }

  std::uint64_t readPosition() const { return get_; }
  std::uint64_t writePosition() const { return put_; }
  // Both clear the end-of-data flag.
  void seekRead(std::uint64_t position);
  void seekWrite(std::uint64_t position);
  // Whether a read found the end of data.
  bool eof() const { return eof_; }

  std::size_t read(std::span<std::uint8_t> out) override;
  int get() override;
  // The next byte without taking it; -1 (and the flag set) at the end.
  int peek();
  std::vector<std::uint8_t> readUpTo(std::uint64_t count) override;
  // Steps the read position back one byte, clearing the flag; false at
  // the start. With a byte, that byte also takes the place stepped back
  // to, when the stream has output.
  bool unget();
  bool unget(std::uint8_t byte);

  bool write(std::span<const std::uint8_t> bytes) override;
  // Zero bytes added at the end up to `length`; a length not past the end
  // changes nothing. The positions stay.
  void extend(std::uint64_t length);

private:
  std::span<const std::uint8_t> readable() const;

  std::vector<std::uint8_t> bytes_;
  std::uint64_t get_ = 0;
  std::uint64_t put_ = 0;
  bool eof_ = false;
  int mode_;
};

} // namespace plumex::hostlib::streams
