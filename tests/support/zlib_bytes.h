#pragma once
// zlib streams and CRC-32 checks for building test data.

#include <cstdint>
#include <vector>

namespace plumex::testing {

std::vector<std::uint8_t> zlibOf(const std::vector<std::uint8_t>& data);
std::uint32_t crcOf(const std::vector<std::uint8_t>& data);

} // namespace plumex::testing
