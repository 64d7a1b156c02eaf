#pragma once
// Blowfish: a 64-bit block cipher with keys of 1 to 72 bytes (the key is
// repeated over the 18 subkeys; bytes past the 72nd are never read). The
// text and file ciphers use 56-byte keys.

#include <cstdint>
#include <span>

namespace plumex::hostlib::crypto {

class Blowfish {
public:
  // An empty key acts as one zero byte.
  explicit Blowfish(std::span<const std::uint8_t> key);

  // Blocks as big-endian words (see block.h).
  std::uint64_t encrypt(std::uint64_t block) const;
  std::uint64_t decrypt(std::uint64_t block) const;

private:
  std::uint32_t f(std::uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
  }

  std::uint32_t p_[18];
  std::uint32_t s_[4][256];
};

} // namespace plumex::hostlib::crypto
