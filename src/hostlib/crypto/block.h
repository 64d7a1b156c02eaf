#pragma once
// The 64-bit blocks of Blowfish and DES as they are stored: eight bytes,
// the first one the most significant.

#include <cstdint>

namespace plumex::hostlib::crypto {

inline std::uint64_t loadBlock(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

inline void storeBlock(std::uint64_t v, std::uint8_t* p) {
  for (int i = 7; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(v);
    v >>= 8;
  }
}

} // namespace plumex::hostlib::crypto
