#include "hostlib/streams/zlib_codec.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace plumex::hostlib::streams {
namespace {

constexpr std::size_t kOutputBlock = 64 * 1024;
// zlib counts in uInt: larger inputs go in pieces.
constexpr std::size_t kInputPiece = std::size_t{1} << 30;

// Feeds `bytes` through one of zlib's stream routines into `out`, a block
// of output at a time. True once the stream ended within `limit` bytes of
// output.
template <class Step>
bool run(z_stream& z, std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out,
         std::size_t limit, Step step) {
  std::size_t fed = 0;
  for (;;) {
    if (z.avail_in == 0 && fed < bytes.size()) {
      const std::size_t piece = std::min(kInputPiece, bytes.size() - fed);
      z.next_in = const_cast<Bytef*>(bytes.data() + fed);
      z.avail_in = static_cast<uInt>(piece);
      fed += piece;
    }
    const std::size_t at = out.size();
    if (at >= limit) return false;
    const std::size_t room = std::min(kOutputBlock, limit - at);
    out.resize(at + room);
    z.next_out = out.data() + at;
    z.avail_out = static_cast<uInt>(room);
    const int r = step(z, fed == bytes.size());
    out.resize(at + room - z.avail_out);
    if (r == Z_STREAM_END) return true;
    // Z_OK means progress; anything else is an error, or (Z_BUF_ERROR,
    // with room left for output) input that ended before the stream.
    if (r != Z_OK) return false;
  }
}

} // namespace

std::optional<std::vector<std::uint8_t>> deflateBlock(std::span<const std::uint8_t> bytes, int level) {
  z_stream z{};
  if (deflateInit(&z, level) != Z_OK) return std::nullopt;
  std::vector<std::uint8_t> out;
  const bool done = run(z, bytes, out, SIZE_MAX, [](z_stream& s, bool last) {
    return deflate(&s, last ? Z_FINISH : Z_NO_FLUSH);
  });
  deflateEnd(&z);
  if (!done) return std::nullopt;
  return out;
}

std::optional<std::vector<std::uint8_t>> inflateBlock(std::span<const std::uint8_t> bytes, std::size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  std::vector<std::uint8_t> out;
  const bool done = run(z, bytes, out, limit + 1, [](z_stream& s, bool) { return inflate(&s, Z_NO_FLUSH); });
  inflateEnd(&z);
  if (!done || out.size() > limit) return std::nullopt;
  return out;
}

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
  uLong crc = crc32(0, nullptr, 0);
  for (std::size_t at = 0; at < bytes.size(); at += kInputPiece) {
    const std::size_t piece = std::min(kInputPiece, bytes.size() - at);
    crc = crc32(crc, bytes.data() + at, static_cast<uInt>(piece));
  }
  return static_cast<std::uint32_t>(crc);
}

} // namespace plumex::hostlib::streams
