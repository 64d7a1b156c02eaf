#include "hostlib/crypto/des.h"

#include <bit>

#include "hostlib/crypto/block.h"

namespace plumex::hostlib::crypto {
namespace {

// The permutation tables count bits from 1, the most significant first.

constexpr std::uint8_t kInitial[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                                26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                                3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t kKeyChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t kKeyChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8,
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0,
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15,
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1,
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6,
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2,
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Output bit i is input bit table[i] of an input `width` bits wide.
template <class Table>
constexpr std::uint64_t permute(std::uint64_t in, unsigned width, const Table& table) {
  std::uint64_t out = 0;
  for (std::uint8_t from : table) out = out << 1 | ((in >> (width - from)) & 1);
  return out;
}

constexpr auto kFinal = [] {
  std::uint8_t inverse[64] = {};
  for (std::uint8_t i = 0; i < 64; ++i) inverse[kInitial[i] - 1] = static_cast<std::uint8_t>(i + 1);
  std::array<std::uint8_t, 64> out{};
  for (int i = 0; i < 64; ++i) out[static_cast<std::size_t>(i)] = inverse[i];
  return out;
}();

// Each S-box with the round permutation applied to its output: the round
// function is then eight lookups.
constexpr auto kSp = [] {
  std::array<std::array<std::uint32_t, 64>, 8> sp{};
  for (unsigned box = 0; box < 8; ++box) {
    for (unsigned x = 0; x < 64; ++x) {
      const unsigned row = (x >> 4 & 2) | (x & 1);
      const unsigned column = x >> 1 & 0xF;
      const std::uint32_t placed = std::uint32_t{kSBoxes[box][row * 16 + column]} << (28 - 4 * box);
      sp[box][x] = static_cast<std::uint32_t>(permute(placed, 32, kRoundPermutation));
    }
  }
  return sp;
}();

} // namespace

Des::Des(std::span<const std::uint8_t, 8> key) {
  const std::uint64_t chosen = permute(loadBlock(key.data()), 64, kKeyChoice1);
  std::uint32_t c = static_cast<std::uint32_t>(chosen >> 28);
  std::uint32_t d = static_cast<std::uint32_t>(chosen & 0xFFFFFFF);
  const auto rotate28 = [](std::uint32_t half, unsigned by) { return ((half << by) | (half >> (28 - by))) & 0xFFFFFFF; };
  for (std::size_t round = 0; round < 16; ++round) {
    c = rotate28(c, kKeyShifts[round]);
    d = rotate28(d, kKeyShifts[round]);
    const std::uint64_t k = permute(std::uint64_t{c} << 28 | d, 56, kKeyChoice2);
    for (unsigned box = 0; box < 8; ++box)
      roundKeys_[round][box] = static_cast<std::uint8_t>(k >> (42 - 6 * box) & 0x3F);
  }
}

std::uint64_t Des::run(std::uint64_t block, bool decrypting) const {
  const std::uint64_t permuted = permute(block, 64, kInitial);
  std::uint32_t left = static_cast<std::uint32_t>(permuted >> 32);
  std::uint32_t right = static_cast<std::uint32_t>(permuted);
  for (int i = 0; i < 16; ++i) {
    const RoundKey& k = roundKeys_[static_cast<std::size_t>(decrypting ? 15 - i : i)];
    std::uint32_t f = 0;
    // The expansion gives box b the six bits of R from bit 4b to 4b + 5
    // (counting from 1, wrapping around): R's top six bits once rotated.
    for (unsigned box = 0; box < 8; ++box) {
      const unsigned bits = std::rotl(right, static_cast<int>((4 * box + 31) % 32)) >> 26;
      f |= kSp[box][bits ^ k[box]];
    }
    const std::uint32_t next = left ^ f;
    left = right;
    right = next;
  }
  return permute(std::uint64_t{right} << 32 | left, 64, kFinal);
}

std::uint64_t Des::encrypt(std::uint64_t block) const { return run(block, false); }
std::uint64_t Des::decrypt(std::uint64_t block) const { return run(block, true); }

TripleDes::TripleDes(std::span<const std::uint8_t, 24> key)
    : first_(key.subspan<0, 8>()), second_(key.subspan<8, 8>()), third_(key.subspan<16, 8>()) {}

std::uint64_t TripleDes::encrypt(std::uint64_t block) const {
  return third_.encrypt(second_.decrypt(first_.encrypt(block)));
}

std::uint64_t TripleDes::decrypt(std::uint64_t block) const {
  return first_.decrypt(second_.encrypt(third_.decrypt(block)));
}

} // namespace plumex::hostlib::crypto
