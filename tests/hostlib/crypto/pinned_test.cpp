// The key derivation, the text ciphers and the file layout are permanent:
// what one release enciphered every later one must read. These vectors pin
// them; they come from the independent Python version (reference.py).

#include <gtest/gtest.h>

#include <string>

#include "hostlib/crypto/file_cipher.h"
#include "hostlib/crypto/key_derivation.h"
#include "hostlib/crypto/text_cipher.h"
#include "scratch.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

constexpr FileSalt kSalt = {0, 1, 2, 3, 4, 5, 6, 7};

TEST(PinnedDerivation, ChainsMd5DigestsOfLabelSaltAndKeyText) {
  EXPECT_EQ(hexOf(deriveKey("blowfish", {}, "", 56)),
            "2c3d71f22972225f1169e68726c780c49c9a147e93bc84927dfc2a39dee90b4d"
            "b70a991524abba9545ea8b585820c7ef45325a6ca65316f8");
  EXPECT_EQ(hexOf(deriveKey("des3", {}, "secret", 24)), "31ed10c2b288e35ec10c26bed9e286c9973fcfb39c6913d3");
  EXPECT_EQ(hexOf(deriveKey("file", kSalt, "secret", 80)),
            "f3bb45cf0456d2b4cf05721d53290f99466883d2d3a425e4aa26d6a18bbe0460"
            "4083dfa9a5598d0389cc5e2fe36f6fe5a44039f8ef438b736bfce7d058338799"
            "6dea4065e30f8e714d11a5d946c3d3b7");
  // The text ciphers' keys are the same chains.
  EXPECT_EQ(hexOf(blowfishTextKey("")), hexOf(deriveKey("blowfish", {}, "", 56)));
  EXPECT_EQ(hexOf(tripleDesTextKey("secret")), hexOf(deriveKey("des3", {}, "secret", 24)));
}

TEST(PinnedTextCipher, EnciphersAndDeciphersTheFixedTexts) {
  struct Case {
    TextCipher cipher;
    const char* key;
    const char* text;
    const char* base64;
  };
  // The last two in Windows-1252: "Schlüssel", "Grüße €".
  const Case cases[] = {
      {TextCipher::Blowfish, "secret", "Hello, world", "uCyGaOUMAGJAknZEzNsxsQ=="},
      {TextCipher::TripleDes, "secret", "Hello, world", "gNXhUI2ngFloK3zjXosHnA=="},
      {TextCipher::Blowfish, "secret", "12345678", "wWCyzBSmd6o="},
      {TextCipher::TripleDes, "secret", "12345678", "9Il9L9SQ6XQ="},
      {TextCipher::Blowfish, "Schl\xfcssel", "Gr\xfc\xdf" "e \x80", "4LcXs1iv36g="},
      {TextCipher::TripleDes, "Schl\xfcssel", "Gr\xfc\xdf" "e \x80", "VJJOXcR87SU="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encryptText(c.cipher, c.key, c.text), c.base64) << c.text;
    EXPECT_EQ(decryptText(c.cipher, c.key, c.base64), std::optional<std::string>(c.text)) << c.base64;
  }
}

class PinnedFileCipher : public ScratchTest {};

TEST_F(PinnedFileCipher, WritesTheDocumentedLayout) {
  writeBytes(path("fox.txt"), bytesOf("The quick brown fox jumps over the lazy dog"));
  ASSERT_TRUE(encryptFile("secret", path("fox.txt"), path("fox.pxef"), kSalt));
  EXPECT_EQ(hexOf(readBytes(path("fox.pxef"))),
            "5058454601000000"                    // "PXEF", version 1
            "0001020304050607"                    // salt
            "2b00000000000000"                    // 43 bytes
            "4d11a5d946c3d3b7"                    // key check
            "8cf30b1c5c645c2efb4bde5e110f4c4252f327a0b15aa3a213a87f0585883f052f157ab2e5450f84d7db68"
            "1c6a6fa223388bc1993cc041616fe259");  // HMAC-MD5
  ASSERT_TRUE(decryptFile("secret", path("fox.pxef"), path("fox.out")));
  EXPECT_EQ(readBytes(path("fox.out")), bytesOf("The quick brown fox jumps over the lazy dog"));
}

} // namespace
} // namespace plumex::hostlib::crypto
