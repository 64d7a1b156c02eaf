#pragma once
// DES and triple DES (encrypt, decrypt, encrypt under three keys). Keys are
// 8 bytes a DES key; the parity bits (the lowest of each byte) are ignored,
// and weak keys are accepted like any other.

#include <array>
#include <cstdint>
#include <span>

namespace plumex::hostlib::crypto {

class Des {
public:
  explicit Des(std::span<const std::uint8_t, 8> key);

  // Blocks as big-endian words (see block.h).
  std::uint64_t encrypt(std::uint64_t block) const;
  std::uint64_t decrypt(std::uint64_t block) const;

private:
  using RoundKey = std::array<std::uint8_t, 8>;  // six bits for each S-box

  std::uint64_t run(std::uint64_t block, bool decrypting) const;

  std::array<RoundKey, 16> roundKeys_{};
};

class TripleDes {
public:
  // Three DES keys, one after the other.
  explicit TripleDes(std::span<const std::uint8_t, 24> key);

  std::uint64_t encrypt(std::uint64_t block) const;
  std::uint64_t decrypt(std::uint64_t block) const;

private:
  Des first_, second_, third_;
};

} // namespace plumex::hostlib::crypto
