// Our derivation, text ciphers, file cipher and `Encryption` class against
// reference.py, which writes them again from their documentation over
// python3-cryptography (native only; Debian's own python3).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "encryption_fixture.h"
#include "hostlib/crypto/file_cipher.h"
#include "hostlib/crypto/key_derivation.h"
#include "hostlib/crypto/text_cipher.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

class Reference : public EncryptionScript {
protected:
  // One answer line for each request line.
  std::vector<std::string> ask(const std::vector<std::string>& requests) {
    {
      std::ofstream out(path("requests"), std::ios::binary);
      for (const std::string& r : requests) out << r << '\n';
    }
    const std::string command = "/usr/bin/python3 '" PLUMEX_CRYPTO_REFERENCE "' <'" + path("requests") + "' >'" +
                                path("answers") + "' 2>'" + path("errors") + "'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << std::string(reinterpret_cast<const char*>(readBytes(path("errors")).data()),
                                        readBytes(path("errors")).size());
    std::vector<std::string> answers;
    std::ifstream in(path("answers"), std::ios::binary);
    for (std::string line; std::getline(in, line);) answers.push_back(line);
    EXPECT_EQ(answers.size(), requests.size());
    answers.resize(requests.size());
    return answers;
  }

  Bytes randomBytes(std::size_t n, int from = 0) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(from + static_cast<int>(random_() % static_cast<unsigned>(256 - from)));
    return b;
  }
  static std::string field(std::span<const std::uint8_t> bytes) { return "x:" + hexOf(bytes); }
  static std::string textOf(const Bytes& b) { return std::string(b.begin(), b.end()); }

  std::mt19937 random_{7};
};

TEST_F(Reference, DerivationAndTextCiphersAgreeOnRandomInputs) {
  const char* const labels[] = {"blowfish", "des3", "file"};
  std::vector<std::string> requests;
  std::vector<std::string> expected;
  for (int i = 0; i < 60; ++i) {
    const Bytes key = randomBytes(random_() % 70);
    const Bytes salt = randomBytes(i % 3 == 2 ? 8 : 0);
    const std::size_t length = 1 + random_() % 100;
    const char* label = labels[i % 3];
    requests.push_back(std::string("derive ") + label + " " + field(salt) + " " + field(key) + " " +
                       std::to_string(length));
    expected.push_back(hexOf(deriveKey(label, salt, textOf(key), length)));

    const Bytes text = randomBytes(random_() % 40);  // NULs included
    for (const auto& [cipher, name] : {std::pair{TextCipher::Blowfish, "blowfish"}, std::pair{TextCipher::TripleDes, "des3"}}) {
      const std::string base64 = encryptText(cipher, textOf(key), textOf(text));
      requests.push_back(std::string("encrypt ") + name + " " + field(key) + " " + field(text));
      expected.push_back(base64);
      requests.push_back(std::string("decrypt ") + name + " " + field(key) + " " + base64);
      expected.push_back(hexOf(bytesOf(*decryptText(cipher, textOf(key), base64))));
    }
  }
  const std::vector<std::string> answers = ask(requests);
  for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(answers[i], expected[i]) << requests[i];
}

TEST_F(Reference, FilesAgreeBothWays) {
  std::vector<std::string> requests;
  const std::size_t sizes[] = {0, 5, 8, 1000, 65536 + 3, 200000};
  for (std::size_t n : sizes) {
    const std::string name = std::to_string(n);
    writeBytes(path(name), randomBytes(n));
    const Bytes key = randomBytes(1 + n % 20, 1);
    FileSalt salt;
    for (auto& s : salt) s = static_cast<std::uint8_t>(random_());
    ASSERT_TRUE(encryptFile(textOf(key), path(name), path(name + ".ours"), salt));
    requests.push_back("encfile " + field(key) + " " + field(salt) + " " + path(name) + " " + path(name + ".theirs"));
    requests.push_back("decfile " + field(key) + " " + path(name + ".ours") + " " + path(name + ".opened"));
    requests.push_back("decfile " + field(bytesOf("not the key")) + " " + path(name + ".ours") + " " +
                       path(name + ".refused"));
  }
  const std::vector<std::string> answers = ask(requests);
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    const std::string name = std::to_string(sizes[i]);
    EXPECT_EQ(answers[3 * i], "ok");
    EXPECT_EQ(readBytes(path(name + ".theirs")), readBytes(path(name + ".ours"))) << name << " bytes";
    EXPECT_EQ(answers[3 * i + 1], "true") << name;
    EXPECT_EQ(readBytes(path(name + ".opened")), readBytes(path(name))) << name;
    EXPECT_EQ(answers[3 * i + 2], "false") << name;
    EXPECT_FALSE(fileExists(path(name + ".refused"))) << name;
  }
}

// A script expression for a text of any characters.
std::string scriptText(std::u16string_view text) {
  std::string codes;
  for (char16_t c : text) codes += (codes.empty() ? "" : ", ") + std::to_string(static_cast<unsigned>(c));
  return "String.fromCharCode(" + codes + ")";
}

std::string utf8Field(std::u16string_view text) {
  std::string utf8;
  for (char16_t c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | c >> 12);
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return "t:" + hexOf(bytesOf(utf8));
}

TEST_F(Reference, TheClassAgreesOnTextsInTheAnsiCodePage) {
  // Texts of characters Windows-1252 has, inside and outside Latin-1.
  const std::u16string keys[] = {u"", u"secret", u"Schl\u00fcssel", u"\u20ac\u2030\u0152 key \u00ff"};
  const std::u16string texts[] = {u"", u"x", u"exactly8", u"Gr\u00fc\u00dfe \u20ac",
                                  u"\u201cquoted\u201d \u2013 \u2122 and a long line that needs several blocks"};
  std::vector<std::string> requests;
  std::vector<std::u16string> ours;
  for (const std::u16string& key : keys) {
    for (const std::u16string& text : texts) {
      for (const char* name : {"blowfish", "des3"}) {
        const std::string method = std::string(name) == "blowfish" ? "blowfish" : "des";
        const std::u16string base64 = run("Encryption." + method + "Encode(" + scriptText(key) + ", " + scriptText(text) + ")");
        ours.push_back(base64);
        requests.push_back(std::string("encrypt ") + name + " " + utf8Field(key) + " " + utf8Field(text));
        EXPECT_EQ(run("Encryption." + method + "Decode(" + scriptText(key) + ", " + scriptText(base64) + ")"), text);
      }
    }
  }
  const std::vector<std::string> answers = ask(requests);
  for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(ansiToUtf16(answers[i]), ours[i]) << requests[i];
}

} // namespace
} // namespace plumex::hostlib::crypto
