#pragma once
// Protected archive entries: a 16-byte marker, the content enciphered with
// ChaCha20, and a 16-byte trailer (the nonce and the plain length). The key
// travels in the movie record's protection field, masked.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "container/chacha20.h"
#include "container/records.h"

namespace plumex::container {

constexpr std::size_t kProtectedMarkerSize = 16;
constexpr std::size_t kProtectedTrailerSize = 16;

// The protection field that carries `key`, and the key it carries (nullopt
// when the field holds none).
std::array<std::uint8_t, kProtectionSize> protectionFieldFor(const CipherKey& key);
std::optional<CipherKey> keyFromProtectionField(std::span<const std::uint8_t> field);

std::vector<std::uint8_t> protectContent(const CipherKey& key, const CipherNonce& nonce,
                                         std::span<const std::uint8_t> plain);

bool startsWithProtectedMarker(std::span<const std::uint8_t> head);

// Reads the plaintext of a protected file held in memory (mapped), at any
// offset.
class ProtectedReader {
public:
  // nullopt when `file` is not a well-formed protected file.
  static std::optional<ProtectedReader> open(const CipherKey& key,
                                             std::span<const std::uint8_t> file);

  std::uint64_t size() const { return body_.size(); }
  // Deciphered bytes from `offset`; returns how many were read.
  std::size_t read(std::uint64_t offset, std::span<std::uint8_t> out) const;

private:
  ProtectedReader(ChaCha20 cipher, std::span<const std::uint8_t> body)
      : cipher_(cipher), body_(body) {}
  ChaCha20 cipher_;
  std::span<const std::uint8_t> body_;
};

} // namespace plumex::container
