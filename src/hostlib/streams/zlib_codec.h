#pragma once
// zlib's deflate and inflate over a whole block, in the zlib format, and
// its CRC-32.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plumex::hostlib::streams {

// The most inflate gives: a few bytes of input can claim far more.
inline constexpr std::size_t kMaxInflated = std::size_t{256} << 20;

// Nothing for a level zlib refuses (it takes -1 to 9).
std::optional<std::vector<std::uint8_t>> deflateBlock(std::span<const std::uint8_t> bytes, int level);
// Nothing for data that is truncated or corrupt, or that would inflate to
// more than `limit` bytes: never a part of the result. Bytes after the end
// of the compressed stream are ignored.
std::optional<std::vector<std::uint8_t>> inflateBlock(std::span<const std::uint8_t> bytes,
                                                      std::size_t limit = kMaxInflated);
std::uint32_t crc32Of(std::span<const std::uint8_t> bytes);

} // namespace plumex::hostlib::streams
