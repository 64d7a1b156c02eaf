#pragma once
// Packed blocks: "SM", version 1, sizes, CRC-32, then a zlib stream. Most
// packaged resources are stored this way.

#include <cstdint>
#include <span>
#include <vector>

namespace plumex::container {

// The largest uncompressed size we accept: resources are settings, masks,
// bitmaps and script modules, never near this.
constexpr std::uint32_t kMaxUnpackedSize = 256u * 1024 * 1024;

// Throws CZipException with the exact texts users see.
std::vector<std::uint8_t> unpackBlock(std::span<const std::uint8_t> block);

std::vector<std::uint8_t> packBlock(std::span<const std::uint8_t> data);

} // namespace plumex::container
