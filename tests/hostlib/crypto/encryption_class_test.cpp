// The `Encryption` class as scripts see it: methods on the class object,
// texts through the ANSI code page, and each method's failure value.

#include <gtest/gtest.h>

#include "container/digest.h"
#include "encryption_fixture.h"
#include "hostlib/crypto/md5_stream.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

class EncryptionClass : public EncryptionScript {};

TEST_F(EncryptionClass, TheClassObjectKeepsItsSpelling) {
  EXPECT_EQ(run("Encryption.toString()"), u"[object Encrpytion]");
  EXPECT_EQ(run("'' + Encryption"), u"[object Encrpytion]");
}

TEST_F(EncryptionClass, Md5OfTheTextInTheAnsiCodePage) {
  const Bytes euro = {0x80};
  EXPECT_EQ(run("Encryption.md5('abc')"), u"900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(run("Encryption.md5('')"), u"d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(run("Encryption.md5(String.fromCharCode(0x20AC))"), ansiToUtf16(toHex(container::md5(euro))));
  // A character the code page lacks is '?', as the system converts it.
  EXPECT_EQ(run("Encryption.md5(String.fromCharCode(0x4E00))"), run("Encryption.md5('?')"));
}

TEST_F(EncryptionClass, TextCiphersTakeAndGiveAnsiText) {
  // The pinned vectors (pinned_test.cpp), reached from scripts: "Schlüssel"
  // and "Grüße €" arrive as their Windows-1252 bytes.
  EXPECT_EQ(run("Encryption.blowfishEncode('secret', 'Hello, world')"), u"uCyGaOUMAGJAknZEzNsxsQ==");
  EXPECT_EQ(run("Encryption.desEncode('secret', 'Hello, world')"), u"gNXhUI2ngFloK3zjXosHnA==");
  const std::string key = "'Schl' + String.fromCharCode(0xFC) + 'ssel'";
  const std::string text = "'Gr' + String.fromCharCode(0xFC, 0xDF) + 'e ' + String.fromCharCode(0x20AC)";
  EXPECT_EQ(run("Encryption.blowfishEncode(" + key + ", " + text + ")"), u"4LcXs1iv36g=");
  EXPECT_EQ(run("Encryption.desEncode(" + key + ", " + text + ")"), u"VJJOXcR87SU=");
  EXPECT_EQ(run("Encryption.blowfishDecode(" + key + ", '4LcXs1iv36g=')"), u"Gr\u00fc\u00dfe \u20ac");
  EXPECT_EQ(run("Encryption.desDecode(" + key + ", 'VJJOXcR87SU=')"), u"Gr\u00fc\u00dfe \u20ac");
  // Long texts round-trip, as one line of base64.
  EXPECT_EQ(run("var t = ''; for (var i = 0; i < 100; i++) t += 'line ' + i + '\\n';"
                "var s = Encryption.desEncode('k', t);"
                "(Encryption.desDecode('k', s) == t) + ' ' + (s.indexOf('\\n') < 0)"),
            u"true true");
}

TEST_F(EncryptionClass, WrongArgumentsGiveTheFailureValue) {
  const std::pair<const char*, const char16_t*> cases[] = {
      {"Encryption.md5()", u"<null>"},
      {"Encryption.md5(5)", u"<null>"},
      {"Encryption.md5File()", u"<null>"},
      {"Encryption.md5File(null)", u"<null>"},
      {"Encryption.blowfishEncode('k')", u"<null>"},
      {"Encryption.blowfishEncode(1, 'text')", u"<null>"},
      {"Encryption.blowfishEncode('k', 1)", u"<null>"},
      {"Encryption.desEncode(undefined, 'text')", u"<null>"},
      {"Encryption.blowfishDecode('k')", u"<null>"},
      {"Encryption.desDecode('k', true)", u"<null>"},
      // Partial cipher blocks.
      {"Encryption.blowfishDecode('k', 'AAAA')", u"<null>"},
      {"Encryption.desDecode('k', Encryption.desEncode('k', 'abc').substring(0, 8))", u"<null>"},
      {"Encryption.encFile('k', 'a')", u"<boolean> false"},
      {"Encryption.encFile(1, 'a', 'b')", u"<boolean> false"},
      {"Encryption.decFile('k', 'a', 2)", u"<boolean> false"},
      {"Encryption.decFile()", u"<boolean> false"},
  };
  for (const auto& [source, shows] : cases) EXPECT_EQ(run(source), shows) << source;
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST_F(EncryptionClass, FilesRoundTripUnderTheirKey) {
  const Bytes plain = bytesOf(std::string_view("file content\r\n\x00\xff and more", 25));
  writeBytes(path("plain.txt"), plain);
  const std::string p = literal(path("plain.txt")), a = literal(path("a.pxef")), b = literal(path("b.pxef")),
                    out = literal(path("out.txt")), wrong = literal(path("wrong.txt"));
  EXPECT_EQ(run("Encryption.encFile('key', " + p + ", " + a + ")"), u"<boolean> true");
  EXPECT_EQ(run("Encryption.encFile('key', " + p + ", " + b + ")"), u"<boolean> true");
  EXPECT_EQ(run("Encryption.decFile('kez', " + a + ", " + wrong + ")"), u"<boolean> false");
  EXPECT_EQ(run("Encryption.decFile('key', " + a + ", " + out + ")"), u"<boolean> true");
  EXPECT_EQ(run("Encryption.md5File(" + literal(path("missing")) + ")"), u"<null>");
  EXPECT_EQ(readBytes(path("out.txt")), plain);
  EXPECT_FALSE(fileExists(path("wrong.txt")));
  EXPECT_NE(readBytes(path("a.pxef")), readBytes(path("b.pxef"))) << "each file has a salt of its own";
  EXPECT_EQ(run("Encryption.md5File(" + p + ")"), ansiToUtf16(toHex(container::md5(plain))));
}

} // namespace
} // namespace plumex::hostlib::crypto
