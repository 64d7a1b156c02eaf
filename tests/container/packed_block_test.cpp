#include "container/packed_block.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include "zlib_bytes.h"

#include <string>
#include <vector>

#include "container/byte_io.h"
#include "container/container_errors.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A block assembled field by field, so a test can put anything in any field.
Bytes block(std::string_view magicAndVersion, std::uint32_t size, std::uint32_t packedSize,
            std::uint32_t crc, const Bytes& payload) {
  ByteWriter w;
  w.bytes(asBytes(magicAndVersion));
  w.u32(size);
  w.u32(packedSize);
  w.u32(crc);
  w.bytes(payload);
  return w.take();
}

using plumex::testing::crcOf;
using plumex::testing::zlibOf;

Bytes textBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The text a failing unpack shows the user; "(no error)" when it succeeds.
std::string unpackFailure(const Bytes& b) {
  try {
    unpackBlock(b);
  } catch (const CZipException& e) {
    return e.what();
  }
  return "(no error)";
}

// The header's first four bytes as they must be: "SM" and version 1.
constexpr std::string_view kSm("SM\x01\x00", 4);

const std::string kLength = "Bad compressed data length";
const std::string kHeader = "Bad compressed data header";
const std::string kCorrupted = "The compress(uncompress) input data was corrupted";
const std::string kNoRoom = "There was not enough room in the compress(uncompress) output buffer";

TEST(PackedBlock, RoundTripsAndWritesItsHeader) {
  Bytes zeros(1 << 20, 0);
  Bytes noise(100000);
  std::uint32_t x = 12345;
  for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  const Bytes inputs[] = {{}, textBytes("a"), textBytes("Hello, packed world"), zeros, noise};
  for (const Bytes& data : inputs) {
    SCOPED_TRACE(data.size());
    const Bytes packed = packBlock(data);
    ASSERT_GT(packed.size(), 16u);
    ByteReader h(packed);
    EXPECT_EQ(h.u8(), 0x53);
    EXPECT_EQ(h.u8(), 0x4D);
    EXPECT_EQ(h.u16(), 1);
    EXPECT_EQ(h.u32(), data.size());
    EXPECT_EQ(h.u32(), packed.size() - 16);
    EXPECT_EQ(h.u32(), crcOf(data));
    EXPECT_EQ(unpackBlock(packed), data);
  }
}

TEST(PackedBlock, IgnoresTheCrcFieldAndTrailingBytes) {
  const Bytes data = textBytes("the zlib stream's own check guards the data");
  Bytes packed = packBlock(data);
  packed[12] ^= 0xFF;
  packed[15] ^= 0x5A;
  packed.push_back(0xEE);
  packed.push_back(0x00);
  EXPECT_EQ(unpackBlock(packed), data);
}

TEST(PackedBlock, FailsWithTheTextsUsersSee) {
  const Bytes data = textBytes("some data that is long enough to compress somewhat");
  const Bytes z = zlibOf(data);
  const auto sz = static_cast<std::uint32_t>(data.size());
  const auto zs = static_cast<std::uint32_t>(z.size());
  const std::uint32_t crc = crcOf(data);
  Bytes cut = block(kSm, sz, zs, crc, z);
  cut.pop_back();
  Bytes badZlibHeader = z;
  badZlibHeader[1] ^= 0x01;
  // Half a stream: the output cannot reach the declared size.
  const Bytes shortStream(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2));

  struct Case {
    const char* what;
    Bytes block;
    std::string message;
  };
  const Case cases[] = {
      {"empty", {}, kLength},
      {"header only, compressed size 0", block(kSm, 0, 0, 0, {}),
       kLength},
      {"sixteen bytes of anything", Bytes(16, 0xAB), kLength},
      {"version bytes 01 01", block("SM\x01\x01", sz, zs, crc, z), kHeader},
      {"version 2", block(std::string_view("SM\x02\x00", 4), sz, zs, crc, z), kHeader},
      {"magic reversed", block(std::string_view("MS\x01\x00", 4), sz, zs, crc, z), kHeader},
      {"lower-case magic", block(std::string_view("sm\x01\x00", 4), sz, zs, crc, z), kHeader},
      {"a byte short of the compressed size", cut, kLength},
      {"compressed size past any block", block(kSm, sz, 0xFFFFFFFF, crc, z),
       kLength},
      {"declared size absurd", block(kSm, 0xFFFFFFFF, zs, crc, z),
       kLength},
      {"declared size just past the limit",
       block(kSm, kMaxUnpackedSize + 1, zs, crc, z), kLength},
      {"stream inflates short of the declared size",
       block(kSm, sz + 1, zs, crc, z), kLength},
      {"stream inflates past the declared size",
       block(kSm, sz - 1, zs, crc, z), kNoRoom},
      {"damaged zlib header", block(kSm, sz, zs, crc, badZlibHeader),
       kCorrupted},
      {"stream cut off", block(kSm, sz,
                               static_cast<std::uint32_t>(shortStream.size()), crc, shortStream),
       kCorrupted},
      {"compressed size 0 in a longer block",
       block(kSm, sz, 0, crc, z), kCorrupted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(unpackFailure(c.block), c.message);
  }
}

TEST(PackedBlock, ZlibCodesHaveTheirOwnTexts) {
  const std::pair<int, std::string> cases[] = {
      {Z_BUF_ERROR, kNoRoom},
      {Z_MEM_ERROR, "There was not enough memory for compress(uncompress)"},
      {Z_DATA_ERROR, kCorrupted},
      {Z_STREAM_ERROR, "The compress level parameter is invalid"},
      {Z_ERRNO, "Compression or uncompression failed"},
      {Z_VERSION_ERROR, "Compression or uncompression failed"},
      {Z_NEED_DICT, "Compression or uncompression failed"},
      {0, "Compression or uncompression failed"},
  };
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(CZipException::messageFor(code), text);
    const CZipException e(code);
    EXPECT_EQ(e.what(), text);
    EXPECT_EQ(e.code(), code);
  }
  EXPECT_STREQ(CZipException(kHeader).what(), kHeader.c_str());
}

} // namespace
} // namespace plumex::container
