// The zlib codec's edges: every truncation refused, corruption refused,
// the output limit, and large blocks through many output blocks.

#include <gtest/gtest.h>

#include <random>

#include "hostlib/streams/zlib_codec.h"

namespace plumex::hostlib::streams {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sample(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  Bytes b(n);
  // Compressible: runs of a few symbols.
  for (auto& x : b) x = static_cast<std::uint8_t>("abcde"[random() % 5]);
  return b;
}

TEST(ZlibCodec, EveryTruncationIsRefused) {
  const Bytes data = sample(3000, 1);
  const auto packed = deflateBlock(data, 6);
  ASSERT_TRUE(packed);
  EXPECT_EQ(inflateBlock(*packed), data);
  for (std::size_t n = 0; n < packed->size(); ++n)
    EXPECT_FALSE(inflateBlock({packed->data(), n})) << "cut to " << n << " of " << packed->size();
}

TEST(ZlibCodec, CorruptionIsRefusedAndTrailingBytesIgnored) {
  const Bytes data = sample(5000, 2);
  Bytes packed = *deflateBlock(data, 9);
  Bytes trailing = packed;
  trailing.insert(trailing.end(), {1, 2, 3});
  EXPECT_EQ(inflateBlock(trailing), data);
  // A flipped bit anywhere in the checksum, or a header that is not zlib's.
  for (std::size_t i = packed.size() - 4; i < packed.size(); ++i) {
    Bytes bad = packed;
    bad[i] ^= 0x10;
    EXPECT_FALSE(inflateBlock(bad)) << "byte " << i;
  }
  Bytes header = packed;
  header[0] = 0x00;
  EXPECT_FALSE(inflateBlock(header));
}

TEST(ZlibCodec, TheOutputLimitRefusesRatherThanCuts) {
  const Bytes zeros(1 << 20, 0);
  const Bytes packed = *deflateBlock(zeros, 9);
  EXPECT_LT(packed.size(), 2000u);
  EXPECT_EQ(inflateBlock(packed, zeros.size()), zeros);
  EXPECT_FALSE(inflateBlock(packed, zeros.size() - 1));
  EXPECT_FALSE(inflateBlock(packed, 0));
}

TEST(ZlibCodec, LevelsAndLargeBlocks) {
  const Bytes data = sample(1 << 20, 3);
  for (int level : {-1, 0, 1, 9}) {
    const auto packed = deflateBlock(data, level);
    ASSERT_TRUE(packed) << level;
    EXPECT_EQ(inflateBlock(*packed), data) << level;
  }
  EXPECT_FALSE(deflateBlock(data, 10));
  EXPECT_FALSE(deflateBlock(data, -2));
  EXPECT_EQ(crc32Of(Bytes{'a', 'b', 'c'}), 891568578u);
  EXPECT_EQ(crc32Of({}), 0u);
}

} // namespace
} // namespace plumex::hostlib::streams
