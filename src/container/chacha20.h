#pragma once
// ChaCha20 (RFC 8439): the stream cipher of protected archive entries.
// Seekable: the key stream at any byte offset costs one block.

#include <array>
#include <cstdint>
#include <span>

namespace plumex::container {

using CipherKey = std::array<std::uint8_t, 32>;
using CipherNonce = std::array<std::uint8_t, 12>;

class ChaCha20 {
public:
  ChaCha20(const CipherKey& key, const CipherNonce& nonce, std::uint32_t initialCounter = 0);

  // XORs the key stream, starting `offset` bytes into it, over `data`.
  void apply(std::uint64_t offset, std::span<std::uint8_t> data) const;

  // One 64-byte block of key stream.
  std::array<std::uint8_t, 64> block(std::uint32_t counter) const;

private:
  std::array<std::uint32_t, 16> state_{};
};

} // namespace plumex::container
