// The in-memory stream on its own: what its positions, modes and growth
// do where scripts cannot easily look.

#include <gtest/gtest.h>

#include "hostlib/streams/memory_stream.h"

namespace plumex::hostlib::streams {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(MemoryStream, WritingPastTheEndFillsTheGapAndKeepsEarlierBytes) {
  MemoryStream s;
  ASSERT_TRUE(s.write(bytes("abcdef")));
  s.seekWrite(2);
  ASSERT_TRUE(s.write(bytes("XY")));
  EXPECT_EQ(s.content(), bytes("abXYef"));
  s.seekWrite(8);
  ASSERT_TRUE(s.write(bytes("Z")));
  EXPECT_EQ(s.content(), Bytes({'a', 'b', 'X', 'Y', 'e', 'f', 0, 0, 'Z'}));
  EXPECT_EQ(s.writePosition(), 9u);
}

TEST(MemoryStream, GrowthDoublesTheRoom) {
  MemoryStream s;
  std::size_t reallocations = 0, room = s.capacity();
  for (int i = 0; i < 100000; ++i) {
    const std::uint8_t b = static_cast<std::uint8_t>(i);
    s.write({&b, 1});
    if (s.capacity() != room) ++reallocations;
    room = s.capacity();
  }
  EXPECT_EQ(s.content().size(), 100000u);
  EXPECT_LT(reallocations, 40u);
}

TEST(MemoryStream, TheLimitRefusesWholeWrites) {
  MemoryStream s;
  s.seekWrite(MemoryStream::kMaxSize - 1);
  const Bytes two = bytes("ab");
  EXPECT_FALSE(s.write(two));
  EXPECT_TRUE(s.content().empty());
  s.seekWrite(~std::uint64_t{0});
  EXPECT_FALSE(s.write(two));
  s.extend(MemoryStream::kMaxSize + 1);
  EXPECT_TRUE(s.content().empty());
}

TEST(MemoryStream, ReadUpToTakesWhatIsThereWithoutReservingTheCount) {
  MemoryStream s(bytes("abc"));
  EXPECT_EQ(s.writePosition(), 3u);
  const Bytes got = s.readUpTo(~std::uint64_t{0});
  EXPECT_EQ(got, bytes("abc"));
  EXPECT_EQ(got.capacity(), 3u);
  EXPECT_TRUE(s.eof());
  s.seekRead(1);
  EXPECT_FALSE(s.eof());
  EXPECT_EQ(s.readUpTo(1), bytes("b"));
  EXPECT_FALSE(s.eof());
}

TEST(MemoryStream, ReadingFillsWhatItCanAndFlagsTheEnd) {
  MemoryStream s(bytes("ab"));
  std::uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(s.read(out), 2u);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(out[2], 9) << "bytes beyond the data are left for the caller";
  EXPECT_TRUE(s.eof());
  EXPECT_EQ(s.peek(), -1);
}

TEST(MemoryStream, UngetPutsTheByteWhereItStepsBack) {
  MemoryStream in(MemoryStream::kIn);
  EXPECT_FALSE(in.write(bytes("x")));
  MemoryStream s(bytes("ab"));
  s.get();
  EXPECT_TRUE(s.unget('Z'));
  EXPECT_EQ(s.content(), bytes("Zb"));
  EXPECT_FALSE(s.unget('Q'));
  EXPECT_EQ(s.content(), bytes("Zb"));
}

} // namespace
} // namespace plumex::hostlib::streams
