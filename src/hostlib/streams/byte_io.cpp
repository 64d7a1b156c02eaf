#include "hostlib/streams/byte_io.h"

#include <algorithm>

namespace plumex::hostlib::streams {

std::vector<std::uint8_t> ByteIo::readUpTo(std::uint64_t count) {
  constexpr std::size_t kBlock = 64 * 1024;
  std::vector<std::uint8_t> out;
  while (out.size() < count) {
    const std::size_t at = out.size();
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, count - at));
    out.resize(at + want);
    const std::size_t got = read(std::span<std::uint8_t>(out).subspan(at));
    out.resize(at + got);
    if (got < want) break;
  }
  return out;
}

} // namespace plumex::hostlib::streams
