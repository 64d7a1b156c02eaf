// The primitives against their published vectors: MD5 (RFC 1321),
// HMAC-MD5 (RFC 2202, and RFC 2195's CRAM-MD5 example), Blowfish (Eric
// Young's ECB and key-length vectors), DES (NIST's known answers) and triple
// DES (NIST's three-key example).

#include <gtest/gtest.h>

#include <string>

#include "hostlib/crypto/blowfish.h"
#include "hostlib/crypto/des.h"
#include "hostlib/crypto/hmac_md5.h"
#include "hostlib/crypto/md5_stream.h"
#include "scratch.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

std::uint64_t word(std::string_view hex) { return std::stoull(std::string(hex), nullptr, 16); }

TEST(Md5Stream, MatchesRfc1321InAnyPieces) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (const auto& [text, digest] : cases) {
    const Bytes bytes = bytesOf(text);
    // Pieces of 1, 7 and 64 bytes cross the 64-byte blocks at every offset.
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{64}}) {
      Md5Stream md5;
      for (std::size_t at = 0; at < bytes.size(); at += piece)
        md5.update(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
      EXPECT_EQ(toHex(md5.finish()), digest) << '"' << text << "\" in pieces of " << piece;
    }
    // (Not with no bytes: an empty vector's data may be null, which the
    // container's md5 hands on to a copy.)
    if (!bytes.empty()) {
      EXPECT_EQ(toHex(container::md5(bytes)), digest) << "the container's digest agrees";
    }
  }
}

TEST(HmacMd5, MatchesRfc2202AndTheCramMd5Example) {
  struct Case {
    Bytes key, message;
    const char* mac;
  };
  const Case cases[] = {
      {Bytes(16, 0x0b), bytesOf("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d"},
      {bytesOf("Jefe"), bytesOf("what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738"},
      {Bytes(16, 0xaa), Bytes(50, 0xdd), "56be34521d144c88dbb8c733f0e8b3f6"},
      {fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), Bytes(50, 0xcd),
       "697eaf0aca3a3aea3a75164746ffaa79"},
      {Bytes(16, 0x0c), bytesOf("Test With Truncation"), "56461ef2342edc00f9bab995690efd4c"},
      {Bytes(80, 0xaa), bytesOf("Test Using Larger Than Block-Size Key - Hash Key First"),
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {Bytes(80, 0xaa), bytesOf("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
       "6f630fad67cda0ee1fb1f562db3aa53e"},
      // RFC 2195: the server's challenge answered with the shared secret.
      {bytesOf("tanstaaftanstaaf"), bytesOf("<1896.697170952@postoffice.reston.mci.net>"),
       "b913a602c7eda7a495b4e6e7334d3890"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toHex(hmacMd5(c.key, c.message)), c.mac) << c.mac;
    HmacMd5Stream pieces(c.key);
    for (std::uint8_t b : c.message) pieces.update(std::span(&b, 1));
    EXPECT_EQ(toHex(pieces.finish()), c.mac) << c.mac << " a byte at a time";
  }
}

TEST(Blowfish, MatchesEricYoungsEcbVectors) {
  const char* const cases[][3] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
      {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
      {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
      {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
      {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
      {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
      {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
      {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
      {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
      {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
      {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
      {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
      {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
      {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
      {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
      {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
      {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
      {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
      {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
      {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
      {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
      {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
      {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
      {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
      {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
  };
  for (const auto& [key, plain, cipher] : cases) {
    const Blowfish bf(fromHex(key));
    EXPECT_EQ(bf.encrypt(word(plain)), word(cipher)) << key << " " << plain;
    EXPECT_EQ(bf.decrypt(word(cipher)), word(plain)) << key << " " << cipher;
  }
}

TEST(Blowfish, KeysOfEveryLengthFromOneTo24Bytes) {
  // The plain block FEDCBA9876543210 under the first n bytes of one key.
  const Bytes key = fromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
  const char* const ciphers[] = {
      "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05", "B39E44481BDB1E6E",
      "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82", "15750E7A4F4EC577", "122BA70B3AB64AE0",
      "3A833C9AFFC537F6", "9409DA87A90F6BF2", "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F",
      "93142887EE3BE15C", "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
      "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080"};
  for (std::size_t n = 1; n <= key.size(); ++n)
    EXPECT_EQ(Blowfish(std::span(key).first(n)).encrypt(0xFEDCBA9876543210), word(ciphers[n - 1])) << n << " bytes";
}

TEST(Des, MatchesNistKnownAnswers) {
  // Variable plaintext, variable key, permutation and substitution tables
  // of NIST's known-answer tests, and the textbook example key.
  const char* const cases[][3] = {
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
      {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
      {"0101010101010101", "1000000000000000", "4BD388FF6CD81D4F"},
      {"0101010101010101", "0800000000000000", "20B9E767B2FB1456"},
      {"0101010101010101", "0400000000000000", "55579380D77138EF"},
      {"0101010101010101", "0200000000000000", "6CC5DEFAAF04512F"},
      {"0101010101010101", "0100000000000000", "0D9F279BA5D87260"},
      {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
      {"2001010101010101", "0000000000000000", "7AD16FFB79C45926"},
      {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
      {"1007103489988020", "0000000000000000", "0C0CC00C83EA48FD"},
      {"10071034C8980120", "0000000000000000", "83BC8EF3A6570183"},
      {"1046103489988020", "0000000000000000", "DF725DCAD94EA2E9"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
      {"07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
      {"3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
  };
  for (const auto& [key, plain, cipher] : cases) {
    const Bytes k = fromHex(key);
    const Des des(std::span<const std::uint8_t, 8>(k.data(), 8));
    EXPECT_EQ(des.encrypt(word(plain)), word(cipher)) << key << " " << plain;
    EXPECT_EQ(des.decrypt(word(cipher)), word(plain)) << key << " " << cipher;
    // Three equal keys make triple DES single DES.
    const Bytes k3 = fromHex(std::string(key) + key + key);
    EXPECT_EQ(TripleDes(std::span<const std::uint8_t, 24>(k3.data(), 24)).encrypt(word(plain)), word(cipher));
  }
}

TEST(TripleDes, MatchesNistsThreeKeyExample) {
  const Bytes key = fromHex("0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123");
  const TripleDes des(std::span<const std::uint8_t, 24>(key.data(), 24));
  const char* const blocks[][2] = {{"5468652071756663", "A826FD8CE53B855F"},   // "The qufc"
                                   {"6B2062726F776E20", "CCE21C8112256FE6"},   // "k brown "
                                   {"666F78206A756D70", "68D5C05DD9B6B900"}};  // "fox jump"
  for (const auto& [plain, cipher] : blocks) {
    EXPECT_EQ(des.encrypt(word(plain)), word(cipher)) << plain;
    EXPECT_EQ(des.decrypt(word(cipher)), word(plain)) << cipher;
  }
}

} // namespace
} // namespace plumex::hostlib::crypto
