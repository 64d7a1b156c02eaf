#include "zlib_bytes.h"

#include <zlib.h>

#include <stdexcept>

namespace plumex::testing {

std::vector<std::uint8_t> zlibOf(const std::vector<std::uint8_t>& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(n);
  if (compress(out.data(), &n, data.data(), static_cast<uLong>(data.size())) != Z_OK)
    throw std::runtime_error("zlibOf: compress failed");
  out.resize(n);
  return out;
}

std::uint32_t crcOf(const std::vector<std::uint8_t>& data) {
  return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

} // namespace plumex::testing
