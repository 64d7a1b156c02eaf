#include "container/swf_header.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "container/protected_file.h"
#include "platform/files.h"
#include "zlib_bytes.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What the tiny movie writer below puts into a header.
struct Movie {
  const char* what;
  unsigned nbits; // bits of each rectangle value
  std::int32_t xMin, xMax, yMin, yMax;
  std::uint16_t rate; // 8.8 fixed point
  std::uint16_t frames;
};

void putBits(Bytes& out, std::size_t& bit, std::uint32_t value, unsigned count) {
  for (unsigned i = count; i-- > 0; ++bit) {
    if (bit % 8 == 0) out.push_back(0);
    if ((value >> i) & 1u) out.back() |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
  }
}

void putU16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A movie file: the header, `filler` bytes standing in for tags (they
// compress poorly, as real ones often do), and the end tag.
Bytes movieFile(const Movie& m, char compression, std::size_t filler = 100) {
  Bytes body;
  std::size_t bit = 0;
  putBits(body, bit, m.nbits, 5);
  for (std::int32_t v : {m.xMin, m.xMax, m.yMin, m.yMax})
    putBits(body, bit, static_cast<std::uint32_t>(v), m.nbits);
  putU16(body, m.rate);
  putU16(body, m.frames);
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < filler; ++i) {
    seed = seed * 1103515245u + 12345u;
    body.push_back(static_cast<std::uint8_t>(seed >> 24));
  }
  putU16(body, 0);

  const auto length = static_cast<std::uint32_t>(8 + body.size());
  Bytes file = {static_cast<std::uint8_t>(compression), 'W', 'S', 9};
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  const Bytes stored = compression == 'C' ? testing::zlibOf(body) : body;
  file.insert(file.end(), stored.begin(), stored.end());
  return file;
}

// Bytes up to the end of the frame count in a plain file.
std::size_t headerSize(const Movie& m) { return 8 + (5 + 4 * m.nbits + 7) / 8 + 4; }

bool sameHeader(const SwfHeader& h, const Movie& m, char compression, std::uint32_t fileLength) {
  return h.compression == compression && h.version == 9 && h.fileLength == fileLength &&
         h.xMin == m.xMin && h.xMax == m.xMax && h.yMin == m.yMin && h.yMax == m.yMax &&
         h.frameRate == m.rate / 256.0 && h.frameCount == m.frames;
}

const Movie kStage = {"550x400 at 24 fps", 15, 0, 11000, 0, 8000, 24 << 8, 1};

const Movie kMovies[] = {
    kStage,
    {"12.5 fps", 16, 0, 6400, 0, 4800, 0x0C80, 300},
    {"a negative origin", 14, -200, 5000, -1, 0, 30 << 8, 2},
    {"wider fields than needed", 20, 0, 20, 0, 40, 1, 7},
    {"no bits: an empty rectangle", 0, 0, 0, 0, 0, 12 << 8, 10},
    {"one bit: 0 and -1", 1, -1, 0, -1, 0, 0, 0},
    {"31 bits at both ends", 31, -(1 << 30), (1 << 30) - 1, -(1 << 30), (1 << 30) - 1, 0xFFFF,
     0xFFFF},
};

TEST(SwfHeader, ReadsPlainAndCompressedHeaders) {
  for (const Movie& m : kMovies) {
    for (char compression : {'F', 'C'}) {
      SCOPED_TRACE(std::string(m.what) + ", " + compression + "WS");
      const Bytes file = movieFile(m, compression);
      const std::uint32_t plainLength = static_cast<std::uint32_t>(movieFile(m, 'F').size());
      const std::optional<SwfHeader> h = readSwfHeader(file);
      ASSERT_TRUE(h);
      EXPECT_TRUE(sameHeader(*h, m, compression, plainLength));
      EXPECT_EQ(h->widthPixels(), (double(m.xMax) - m.xMin) / 20);
      EXPECT_EQ(h->heightPixels(), (double(m.yMax) - m.yMin) / 20);
    }
  }
  const std::optional<SwfHeader> stage = readSwfHeader(movieFile(kStage, 'C'));
  ASSERT_TRUE(stage);
  EXPECT_EQ(stage->widthPixels(), 550);
  EXPECT_EQ(stage->heightPixels(), 400);
  EXPECT_EQ(stage->frameRate, 24);
  EXPECT_EQ(readSwfHeader(movieFile(kMovies[1], 'F'))->frameRate, 12.5);
}

// Every head shorter than the header reads as nothing; every longer one as
// the whole header. A compressed head needs as much of the stream as
// inflates to the header, wherever that ends.
TEST(SwfHeader, TruncatedHeadsGiveNothingAtEveryLength) {
  for (const Movie& m : kMovies) {
    SCOPED_TRACE(m.what);
    const Bytes plain = movieFile(m, 'F');
    const auto length = static_cast<std::uint32_t>(plain.size());
    for (std::size_t n = 0; n <= plain.size(); ++n) {
      const std::optional<SwfHeader> h = readSwfHeader(std::span(plain).first(n));
      ASSERT_EQ(h.has_value(), n >= headerSize(m)) << "FWS, " << n << " bytes";
      if (h) {
        ASSERT_TRUE(sameHeader(*h, m, 'F', length)) << "FWS, " << n << " bytes";
      }
    }

    // Without filler zlib codes the body with Huffman codes; with it, as
    // stored bytes.
    for (std::size_t filler : {0, 100}) {
      const Bytes compressed = movieFile(m, 'C', filler);
      const auto plainLength = static_cast<std::uint32_t>(movieFile(m, 'F', filler).size());
      std::size_t first = 0;
      for (std::size_t n = 0; n <= compressed.size(); ++n) {
        const std::optional<SwfHeader> h = readSwfHeader(std::span(compressed).first(n));
        if (!h) {
          ASSERT_EQ(first, 0u) << "CWS, " << n << " bytes after a header at " << first;
          continue;
        }
        if (first == 0) first = n;
        ASSERT_TRUE(sameHeader(*h, m, 'C', plainLength)) << "CWS, " << n << " bytes";
      }
      EXPECT_GT(first, 8u);
    }
  }
}

TEST(SwfHeader, ACompressedHeaderReadsFromTheFirstFortyBytes) {
  const Bytes file = movieFile(kStage, 'C', 5000);
  ASSERT_GT(file.size(), 1000u);
  const std::optional<SwfHeader> h = readSwfHeader(std::span(file).first(40));
  ASSERT_TRUE(h);
  const auto length = static_cast<std::uint32_t>(movieFile(kStage, 'F', 5000).size());
  EXPECT_TRUE(sameHeader(*h, kStage, 'C', length));
}

TEST(SwfHeader, RefusesWhatIsNotAPlainOrZlibMovie) {
  const Bytes plain = movieFile(kStage, 'F');
  const Bytes compressed = movieFile(kStage, 'C');
  auto with = [](Bytes b, std::size_t at, std::uint8_t value) {
    b[at] = value;
    return b;
  };
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"nothing", {}},
      {"a signature alone", {'F', 'W', 'S'}},
      {"LZMA", with(compressed, 0, 'Z')},
      {"lower case", with(plain, 0, 'f')},
      {"another signature", with(plain, 2, 'X')},
      {"a plain body marked compressed", with(plain, 0, 'C')},
      {"a damaged zlib header", with(compressed, 9, compressed[9] ^ 0x01)},
      {"text", {'<', 'h', 't', 'm', 'l', '>', ' ', 'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v'}},
  };
  for (const Case& c : cases) EXPECT_FALSE(readSwfHeader(c.bytes)) << c.what;
}

const CipherKey kKey = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                        17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const CipherNonce kNonce = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC};

class SwfHeaderFile : public ::testing::Test {
protected:
  void SetUp() override {
    std::string base = ::testing::TempDir();
    if (base.empty() || (base.back() != '/' && base.back() != '\\')) base += kPathSeparator;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = base + "plumex-swf-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "-" + std::to_string(stamp) + kPathSeparator;
    ASSERT_TRUE(makeDirectory(dir_));
  }
  void TearDown() override { removeTree(dir_); }

  std::string write(const std::string& name, const Bytes& bytes) {
    const std::string path = dir_ + name;
    OutputFile out;
    EXPECT_TRUE(out.create(path));
    EXPECT_TRUE(out.write(bytes.data(), bytes.size()));
    EXPECT_TRUE(out.close());
    return path;
  }

  std::string dir_;
};

TEST_F(SwfHeaderFile, ReadsAPlainFileWithOrWithoutAKey) {
  // Longer than the head the reader takes, in both kinds.
  for (char compression : {'F', 'C'}) {
    SCOPED_TRACE(compression);
    const Bytes movie = movieFile(kStage, compression, 5000);
    const std::string path = write("movie.swf", movie);
    const auto length = static_cast<std::uint32_t>(movieFile(kStage, 'F', 5000).size());
    for (const std::optional<CipherKey>& key : {std::optional<CipherKey>(), std::optional(kKey)}) {
      const std::optional<SwfHeader> h = readSwfHeaderFile(path, key);
      ASSERT_TRUE(h);
      EXPECT_TRUE(sameHeader(*h, kStage, compression, length));
    }
  }
  const Bytes plain = movieFile(kStage, 'F');
  EXPECT_FALSE(readSwfHeaderFile(write("short.swf", Bytes(plain.begin(), plain.begin() + 10)),
                                 std::nullopt));
  EXPECT_FALSE(readSwfHeaderFile(write("empty.swf", {}), std::nullopt));
  EXPECT_FALSE(readSwfHeaderFile(dir_ + "missing.swf", std::nullopt));
}

TEST_F(SwfHeaderFile, ReadsAProtectedFileOnlyWithItsKey) {
  const Bytes movie = movieFile(kStage, 'C', 3000);
  const Bytes protectedMovie = protectContent(kKey, kNonce, movie);
  const std::string path = write("protected.swf", protectedMovie);
  const auto length = static_cast<std::uint32_t>(movieFile(kStage, 'F', 3000).size());

  const std::optional<SwfHeader> h = readSwfHeaderFile(path, kKey);
  ASSERT_TRUE(h);
  EXPECT_TRUE(sameHeader(*h, kStage, 'C', length));

  CipherKey wrong = kKey;
  wrong[31] ^= 0x80;
  Bytes damaged = protectedMovie;
  damaged.pop_back(); // the trailer's length no longer matches
  const std::string damagedPath = write("damaged.swf", damaged);
  EXPECT_FALSE(readSwfHeaderFile(path, std::nullopt));
  EXPECT_FALSE(readSwfHeaderFile(path, wrong));
  EXPECT_FALSE(readSwfHeaderFile(damagedPath, kKey));
}

} // namespace
} // namespace plumex::container
