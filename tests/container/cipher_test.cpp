#include "container/chacha20.h"
#include "container/digest.h"
#include "container/protected_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "container/byte_io.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fromHex(std::string_view hex) {
  Bytes out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return out;
}

template <std::size_t N> std::array<std::uint8_t, N> arrayFromHex(std::string_view hex) {
  const Bytes b = fromHex(hex);
  std::array<std::uint8_t, N> a{};
  EXPECT_EQ(b.size(), N);
  std::copy_n(b.begin(), std::min(N, b.size()), a.begin());
  return a;
}

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(Md5, MatchesTheReferenceVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, hex] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(md5(asBytes(text)), (arrayFromHex<16>(hex)));
  }
  // An empty vector's data pointer is null.
  EXPECT_EQ(md5(std::vector<std::uint8_t>{}), (arrayFromHex<16>("d41d8cd98f00b204e9800998ecf8427e")));
}

const CipherKey kKey = arrayFromHex<32>(
    "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

TEST(ChaCha20, BlockFunctionMatchesTheReferenceVector) {
  const ChaCha20 cipher(kKey, arrayFromHex<12>("000000090000004a00000000"), 1);
  const auto expected = arrayFromHex<64>(
      "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
      "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e");
  EXPECT_EQ(cipher.block(1), expected);

  // The same key stream through apply(), from a counter of 0 and 1.
  std::array<std::uint8_t, 64> zeros{};
  cipher.apply(0, zeros);
  EXPECT_EQ(zeros, expected);
  std::array<std::uint8_t, 64> later{};
  ChaCha20(kKey, arrayFromHex<12>("000000090000004a00000000"), 0).apply(64, later);
  EXPECT_EQ(later, expected);
}

TEST(ChaCha20, EnciphersTheReferenceTextAtAnyOffset) {
  const std::string plain =
      "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
      "future, sunscreen would be it.";
  const Bytes expected = fromHex(
      "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0b"
      "f91b65c5524733ab8f593dabcd62b3571639d624e65152ab8f530c359f0861d8"
      "07ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
      "5af90bbf74a35be6b40b8eedf2785e42874d");
  const ChaCha20 cipher(kKey, arrayFromHex<12>("000000000000004a00000000"), 1);

  Bytes whole = bytesOf(plain);
  cipher.apply(0, whole);
  EXPECT_EQ(whole, expected);

  // Pieces split at and around block boundaries give the same stream.
  for (std::size_t split : {1u, 63u, 64u, 65u, 100u, 113u}) {
    SCOPED_TRACE(split);
    Bytes pieces = bytesOf(plain);
    cipher.apply(0, std::span(pieces).first(split));
    cipher.apply(split, std::span(pieces).subspan(split));
    EXPECT_EQ(pieces, expected);
  }
  cipher.apply(0, whole);
  EXPECT_EQ(whole, bytesOf(plain));
}

const CipherNonce kNonce = arrayFromHex<12>("a1a2a3a4a5a6a7a8a9aaabac");

Bytes samplePlain(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return b;
}

TEST(ProtectedFile, LaysOutMarkerBodyAndTrailer) {
  const Bytes plain = samplePlain(150);
  const Bytes file = protectContent(kKey, kNonce, plain);
  ASSERT_EQ(file.size(), kProtectedMarkerSize + plain.size() + kProtectedTrailerSize);
  EXPECT_TRUE(startsWithProtectedMarker(file));
  EXPECT_FALSE(startsWithProtectedMarker(plain));
  EXPECT_FALSE(startsWithProtectedMarker(std::span(file).first(kProtectedMarkerSize - 1)));
  // The body is the plaintext under the key stream from counter 0.
  Bytes body(file.begin() + kProtectedMarkerSize, file.end() - kProtectedTrailerSize);
  EXPECT_NE(body, plain);
  ChaCha20(kKey, kNonce).apply(0, body);
  EXPECT_EQ(body, plain);
  ByteReader trailer{std::span(file).last(kProtectedTrailerSize)};
  const auto nonce = trailer.bytes(12);
  EXPECT_TRUE(std::equal(nonce.begin(), nonce.end(), kNonce.begin()));
  EXPECT_EQ(trailer.u32(), plain.size());
}

TEST(ProtectedFile, ReadsThePlaintextAtEveryOffset) {
  const Bytes plain = samplePlain(200);
  const Bytes file = protectContent(kKey, kNonce, plain);
  const std::optional<ProtectedReader> reader = ProtectedReader::open(kKey, file);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->size(), plain.size());
  for (std::size_t offset = 0; offset <= plain.size(); ++offset) {
    for (std::size_t length : {1u, 63u, 64u, 70u, 129u, 300u}) {
      Bytes out(length, 0xEE);
      const std::size_t got = reader->read(offset, out);
      const std::size_t want = std::min(length, plain.size() - offset);
      ASSERT_EQ(got, want) << offset << "+" << length;
      ASSERT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got),
                             plain.begin() + static_cast<std::ptrdiff_t>(offset)))
          << offset << "+" << length;
    }
  }
  Bytes out(8);
  EXPECT_EQ(reader->read(1u << 20, out), 0u);

  const Bytes empty = protectContent(kKey, kNonce, {});
  const std::optional<ProtectedReader> emptyReader = ProtectedReader::open(kKey, empty);
  ASSERT_TRUE(emptyReader);
  EXPECT_EQ(emptyReader->size(), 0u);
  EXPECT_EQ(emptyReader->read(0, out), 0u);
}

TEST(ProtectedFile, RefusesMalformedFiles) {
  const Bytes file = protectContent(kKey, kNonce, samplePlain(100));
  Bytes longer = file, shorter = file, noMarker = file;
  longer[file.size() - 4] += 1;
  shorter[file.size() - 4] -= 1;
  noMarker[0] ^= 0x20;
  Bytes lengthHigh = file;
  lengthHigh[file.size() - 1] = 0x80;
  const Bytes cases[] = {longer, shorter, noMarker, lengthHigh,
                         Bytes(file.begin(), file.begin() + 31), Bytes(file.begin(), file.end() - 1),
                         samplePlain(100)};
  for (const Bytes& c : cases) EXPECT_FALSE(ProtectedReader::open(kKey, c)) << c.size();
}

TEST(ProtectedFile, ProtectionFieldCarriesTheKeyMasked) {
  const auto field = protectionFieldFor(kKey);
  EXPECT_EQ(keyFromProtectionField(field), kKey);
  // The key does not lie in the field in the clear.
  EXPECT_EQ(std::search(field.begin(), field.end(), kKey.begin(), kKey.end()), field.end());

  MovieRecord record;
  record.protection = field;
  EXPECT_TRUE(record.isProtected());
  EXPECT_EQ(keyFromProtectionField(readMovieRecord(writeMovieRecord(record)).protection), kKey);

  const std::array<std::uint8_t, kProtectionSize> zeros{};
  EXPECT_EQ(keyFromProtectionField(zeros), std::nullopt);
  EXPECT_EQ(keyFromProtectionField(std::span(field).first(35)), std::nullopt);
  auto wrongTag = field;
  wrongTag[0] ^= 1;
  EXPECT_EQ(keyFromProtectionField(wrongTag), std::nullopt);
}

} // namespace
} // namespace plumex::container
