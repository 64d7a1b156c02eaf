#include "container/chacha20.h"

#include <algorithm>

namespace plumex::container {
namespace {

std::uint32_t load32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

constexpr std::uint32_t rotl(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

void quarterRound(std::array<std::uint32_t, 16>& x, int a, int b, int c, int d) {
  x[a] += x[b], x[d] = rotl(x[d] ^ x[a], 16);
  x[c] += x[d], x[b] = rotl(x[b] ^ x[c], 12);
  x[a] += x[b], x[d] = rotl(x[d] ^ x[a], 8);
  x[c] += x[d], x[b] = rotl(x[b] ^ x[c], 7);
}

} // namespace

ChaCha20::ChaCha20(const CipherKey& key, const CipherNonce& nonce, std::uint32_t initialCounter) {
  state_[0] = 0x61707865, state_[1] = 0x3320646e, state_[2] = 0x79622d32, state_[3] = 0x6b206574;
  for (int i = 0; i < 8; ++i) state_[4 + i] = load32(key.data() + 4 * i);
  state_[12] = initialCounter;
  for (int i = 0; i < 3; ++i) state_[13 + i] = load32(nonce.data() + 4 * i);
}

std::array<std::uint8_t, 64> ChaCha20::block(std::uint32_t counter) const {
  std::array<std::uint32_t, 16> input = state_;
  input[12] = counter;
  std::array<std::uint32_t, 16> x = input;
  for (int round = 0; round < 10; ++round) {
    quarterRound(x, 0, 4, 8, 12), quarterRound(x, 1, 5, 9, 13);
    quarterRound(x, 2, 6, 10, 14), quarterRound(x, 3, 7, 11, 15);
    quarterRound(x, 0, 5, 10, 15), quarterRound(x, 1, 6, 11, 12);
    quarterRound(x, 2, 7, 8, 13), quarterRound(x, 3, 4, 9, 14);
  }
  std::array<std::uint8_t, 64> out;
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t v = x[i] + input[i];
    for (int b = 0; b < 4; ++b) out[static_cast<std::size_t>(4 * i + b)] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  return out;
}

void ChaCha20::apply(std::uint64_t offset, std::span<std::uint8_t> data) const {
  std::size_t done = 0;
  while (done < data.size()) {
    const std::uint64_t at = offset + done;
    const auto stream = block(static_cast<std::uint32_t>(state_[12] + at / 64));
    const std::size_t from = static_cast<std::size_t>(at % 64);
    const std::size_t n = std::min(data.size() - done, 64 - from);
    for (std::size_t i = 0; i < n; ++i) data[done + i] ^= stream[from + i];
    done += n;
  }
}

} // namespace plumex::container
