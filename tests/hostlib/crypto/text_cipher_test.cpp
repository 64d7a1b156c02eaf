// The text ciphers' rules: zero padding to whole blocks, the cut at the
// first NUL, one line of base64, and no result for partial blocks.

#include <gtest/gtest.h>

#include <string>

#include "hostlib/codecs/base64.h"
#include "hostlib/crypto/text_cipher.h"
#include "scratch.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

constexpr TextCipher kCiphers[] = {TextCipher::Blowfish, TextCipher::TripleDes};

TEST(TextCipher, RoundTripsInWholeZeroPaddedBlocks) {
  for (TextCipher cipher : kCiphers) {
    std::string text;
    for (int n = 0; n <= 300; ++n) {
      const std::string base64 = encryptText(cipher, "key", text);
      EXPECT_EQ(base64.find_first_of("\r\n"), std::string::npos) << "one line at " << n;
      const Bytes enciphered = codecs::decodeBase64(base64);
      EXPECT_EQ(enciphered.size(), (text.size() + 7) / 8 * 8) << n;
      EXPECT_EQ(decryptText(cipher, "key", base64), text) << n;
      text += static_cast<char>(0x20 + n % 0xDF);  // every byte but NUL and the controls
    }
  }
}

TEST(TextCipher, PaddingIsZeroBytes) {
  // "ab" padded is "ab" and six NULs: enciphering that whole block gives the
  // same result.
  for (TextCipher cipher : kCiphers)
    EXPECT_EQ(encryptText(cipher, "k", "ab"), encryptText(cipher, "k", std::string("ab\0\0\0\0\0\0", 8)));
}

TEST(TextCipher, DecipheredTextEndsAtTheFirstNul) {
  for (TextCipher cipher : kCiphers) {
    const std::string base64 = encryptText(cipher, "k", std::string("before\0after", 12));
    EXPECT_EQ(decryptText(cipher, "k", base64), "before");
    EXPECT_EQ(decryptText(cipher, "k", encryptText(cipher, "k", std::string("\0x", 2))), "");
  }
}

TEST(TextCipher, PartialBlocksGiveNothing) {
  for (TextCipher cipher : kCiphers) {
    const std::string whole = encryptText(cipher, "k", "sixteen bytes!!!");
    struct Case {
      std::string base64;
      bool deciphers;
    };
    const Case cases[] = {
        {"", true},                              // no blocks at all
        {"AAAA", false},                         // 3 bytes
        {whole.substr(0, 12), false},            // 9 bytes
        {whole.substr(0, 8) + "====", false},    // 6 bytes, the rest after '='
        {whole, true},
        // Line breaks and characters outside the alphabet are skipped.
        {whole.substr(0, 10) + "\r\n" + whole.substr(10) + " ", true},
    };
    for (const Case& c : cases) {
      const auto plain = decryptText(cipher, "k", c.base64);
      EXPECT_EQ(plain.has_value(), c.deciphers) << c.base64;
      if (c.deciphers && !c.base64.empty()) {
        EXPECT_EQ(*plain, "sixteen bytes!!!") << c.base64;
      }
    }
  }
}

TEST(TextCipher, TheKeyTextAndTheCipherMatter) {
  EXPECT_NE(encryptText(TextCipher::Blowfish, "key", "text"), encryptText(TextCipher::Blowfish, "kez", "text"));
  EXPECT_NE(encryptText(TextCipher::Blowfish, "key", "text"), encryptText(TextCipher::TripleDes, "key", "text"));
  // A longer key text is not cut to what the cipher takes.
  const std::string longKey(200, 'k');
  EXPECT_NE(encryptText(TextCipher::Blowfish, longKey, "text"),
            encryptText(TextCipher::Blowfish, longKey + "x", "text"));
  EXPECT_NE(decryptText(TextCipher::TripleDes, "other", encryptText(TextCipher::TripleDes, "key", "text")),
            "text");
}

} // namespace
} // namespace plumex::hostlib::crypto
