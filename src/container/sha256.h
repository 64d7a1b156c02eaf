#pragma once
// SHA-256 (FIPS 180-4) and HMAC-SHA-256 (RFC 2104): the packager derives
// everything a reproducible package needs (cipher key, nonces, identity,
// time stamp) from its inputs with them.

#include <array>
#include <cstdint>
#include <span>

namespace plumex::container {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Incremental: feed any number of pieces, then take the digest once.
class Sha256 {
public:
  Sha256();
  Sha256& update(std::span<const std::uint8_t> data);
  Sha256Digest finish();

private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

Sha256Digest sha256(std::span<const std::uint8_t> data);

// Incremental HMAC-SHA-256 under `key`.
class HmacSha256 {
public:
  explicit HmacSha256(std::span<const std::uint8_t> key);
  HmacSha256& update(std::span<const std::uint8_t> data);
  Sha256Digest finish();

private:
  std::array<std::uint8_t, 64> outerPad_{};
  Sha256 inner_;
};

} // namespace plumex::container
