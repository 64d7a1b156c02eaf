#pragma once
// MD5, the 16-byte digest of identity records and settings stamps.

#include <array>
#include <cstdint>
#include <span>

namespace plumex::container {

using Digest = std::array<std::uint8_t, 16>;

Digest md5(std::span<const std::uint8_t> data);
Digest toDigest(std::span<const std::uint8_t> sixteenBytes);

} // namespace plumex::container
