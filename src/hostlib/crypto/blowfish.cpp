#include "hostlib/crypto/blowfish.h"

#include <algorithm>
#include <utility>

#include "hostlib/crypto/blowfish_tables.h"

namespace plumex::hostlib::crypto {

Blowfish::Blowfish(std::span<const std::uint8_t> key) {
  std::copy(std::begin(kBlowfishInitialP), std::end(kBlowfishInitialP), p_);
  for (int box = 0; box < 4; ++box)
    std::copy(std::begin(kBlowfishInitialS[box]), std::end(kBlowfishInitialS[box]), s_[box]);

  std::size_t k = 0;
  for (std::uint32_t& subkey : p_) {
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = word << 8 | (key.empty() ? 0 : key[k]);
      if (++k >= key.size()) k = 0;
    }
    subkey ^= word;
  }

  // Every subkey in turn becomes the encryption of the one before.
  std::uint64_t block = 0;
  for (int i = 0; i < 18; i += 2) {
    block = encrypt(block);
    p_[i] = static_cast<std::uint32_t>(block >> 32);
    p_[i + 1] = static_cast<std::uint32_t>(block);
  }
  for (auto& box : s_) {
    for (int i = 0; i < 256; i += 2) {
      block = encrypt(block);
      box[i] = static_cast<std::uint32_t>(block >> 32);
      box[i + 1] = static_cast<std::uint32_t>(block);
    }
  }
}

std::uint64_t Blowfish::encrypt(std::uint64_t block) const {
  std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
  std::uint32_t right = static_cast<std::uint32_t>(block);
  for (int i = 0; i < 16; ++i) {
    left ^= p_[i];
    right ^= f(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[16];
  left ^= p_[17];
  return std::uint64_t{left} << 32 | right;
}

std::uint64_t Blowfish::decrypt(std::uint64_t block) const {
  std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
  std::uint32_t right = static_cast<std::uint32_t>(block);
  for (int i = 17; i > 1; --i) {
    left ^= p_[i];
    right ^= f(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[1];
  left ^= p_[0];
  return std::uint64_t{left} << 32 | right;
}

} // namespace plumex::hostlib::crypto
