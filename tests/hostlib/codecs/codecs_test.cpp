// The mail codecs against published vectors and the rules the reader and
// the writer rely on.

#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/charsets.h"
#include "hostlib/codecs/encoded_words.h"
#include "hostlib/codecs/quoted_printable.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace plumex::hostlib::codecs {
namespace {

std::string randomBytes(std::mt19937& rng, std::size_t n, std::string_view from = {}) {
  std::string s(n, '\0');
  for (auto& c : s)
    c = from.empty() ? static_cast<char>(rng()) : from[rng() % from.size()];
  return s;
}

TEST(Base64, Rfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {std::string("\0\xff\xfe", 3), "AP/+"}};
  for (const auto& [plain, encoded] : cases) {
    EXPECT_EQ(encodeBase64(plain), encoded);
    EXPECT_EQ(decodeBase64ToString(encoded), plain);
    const auto bytes = decodeBase64(encoded);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), plain);
  }
}

TEST(Base64, LinesBreakAfterEveryLineLengthButNeverAtTheEnd) {
  EXPECT_EQ(encodeBase64(std::string(57, 'a'), 76).find('\r'), std::string::npos);  // exactly 76
  const std::string two = encodeBase64(std::string(58, 'a'), 76);
  ASSERT_EQ(two.size(), 80u + 2);
  EXPECT_EQ(two.substr(76, 2), "\r\n");
  EXPECT_EQ(encodeBase64(std::string("foobar"), 5), "Zm9vY\r\nmFy");
  EXPECT_EQ(encodeBase64(std::string("foobarfoobar"), 8), "Zm9vYmFy\r\nZm9vYmFy");
  EXPECT_EQ(encodeBase64(std::string(), 76), "");
}

TEST(Base64, DecoderSkipsForeignCharactersAndStopsAtTheFill) {
  const std::pair<std::string, std::string> cases[] = {
      {"Zm9v\r\nYmFy", "foobar"},  {"Zm9v*Y m\tF-y", "foobar"},  // characters outside the alphabet go
      {"Zg==Zm9v", "f"},           {"Zm9vY", "foo"},              // a lone sixth of a byte gives nothing
      {"Zm9vYmE", "fooba"},        {"!!!", ""},
      {"=Zm9v", ""}};
  for (const auto& [encoded, plain] : cases) EXPECT_EQ(decodeBase64ToString(encoded), plain) << encoded;
}

TEST(Base64, RoundTripsEveryLengthAndLineLength) {
  std::mt19937 rng(7);
  for (std::size_t n = 0; n < 200; ++n) {
    const std::string bytes = randomBytes(rng, n);
    for (const std::size_t line : {0, 4, 5, 72, 76}) {
      const std::string text = encodeBase64(bytes, line);
      EXPECT_EQ(decodeBase64ToString(text), bytes) << n << " " << line;
      if (line > 0) {
        // Every line but the last is full.
        std::size_t start = 0;
        for (std::size_t brk; (brk = text.find("\r\n", start)) != std::string::npos; start = brk + 2)
          EXPECT_EQ(brk - start, line);
        EXPECT_LE(text.size() - start, line);
        EXPECT_EQ(text.size() - start == 0, bytes.empty());
      }
    }
  }
}

TEST(QuotedPrintable, EncoderTable) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Hello", "Hello=\r\n"},  // the last line gets a soft break
      {"Hello\n", "Hello\n"},
      {"Hello\r\n", "Hello\r\n"},
      {"a=b", "a=3Db=\r\n"},
      {"trail \nnext", "trail=20\nnext=\r\n"},  // blanks before a line end are escaped
      {"tab\t\r\n", "tab=09\r\n"},
      {"a \tb", "a \tb=\r\n"},
      {"end ", "end =\r\n"},
      {"\xe9t\xc3\xa9\x01\x7f", "=E9t=C3=A9=01=7F=\r\n"},
      {"lone\rcr", "lone\rcr=\r\n"},
  };
  for (const auto& [plain, encoded] : cases) EXPECT_EQ(encodeQuotedPrintable(plain), encoded) << plain;
}

TEST(QuotedPrintable, LongLinesGetSoftBreaksNotSplittingEscapes) {
  const std::string encoded = encodeQuotedPrintable(std::string(100, 'x'));
  EXPECT_EQ(encoded, std::string(73, 'x') + "=\r\n" + std::string(27, 'x') + "=\r\n");
  // A line that ends at the limit by itself needs no soft break before it.
  EXPECT_EQ(encodeQuotedPrintable(std::string(73, 'x') + "\n"), std::string(73, 'x') + "\n");
  const std::string escapes = encodeQuotedPrintable(std::string(40, '='));
  std::size_t start = 0;
  for (std::size_t brk; (brk = escapes.find("\r\n", start)) != std::string::npos; start = brk + 2) {
    EXPECT_LE(brk - start, 76u);
    EXPECT_EQ(escapes[brk - 1], '=');
    EXPECT_EQ((brk - start - 1) % 3, 0u) << "an escape was cut";
  }
}

TEST(QuotedPrintable, DecoderTable) {
  const std::pair<std::string, std::string> cases[] = {
      {"a=\r\nb", "ab"},  {"a=\nb", "ab"},  {"Hello=", "Hello"},  {"Hello=\r\n", "Hello"},
      {"=3D=3d", "=="},   {"=E9", "\xe9"},  {"=G1", "=G1"},       {"=4", "=4"},
      {"a=\rb", "a=\rb"}, {"x = y", "x = y"}, {"line\r\nnext", "line\r\nnext"}};
  for (const auto& [encoded, plain] : cases) EXPECT_EQ(decodeQuotedPrintable(encoded), plain) << encoded;
}

TEST(QuotedPrintable, RoundTripsTextWithBlanksAndLineEnds) {
  std::mt19937 rng(11);
  for (int round = 0; round < 500; ++round) {
    const std::string text = randomBytes(rng, rng() % 300, std::string_view("ab =\t\r\n\xe9.", 10));
    const std::string encoded = encodeQuotedPrintable(text);
    EXPECT_EQ(decodeQuotedPrintable(encoded), text);
    // Nothing a transport strips: no blank before a line end.
    for (std::size_t i = 0; i + 1 < encoded.size(); ++i)
      if (encoded[i + 1] == '\n' || (encoded[i + 1] == '\r' && i + 2 < encoded.size() && encoded[i + 2] == '\n')) {
        EXPECT_TRUE(encoded[i] != ' ' && encoded[i] != '\t') << encoded;
      }
  }
  const std::string binary = randomBytes(rng, 5000);
  EXPECT_EQ(decodeQuotedPrintable(encodeQuotedPrintable(binary)), binary);
}

TEST(EncodedWords, DecoderTable) {
  const std::pair<std::string, std::string> cases[] = {
      {"=?iso-8859-1?q?a_b=E9?=", "a b\xe9"},
      {"=?ISO-8859-1?Q?a=e9?=", "a\xe9"},
      {"=?utf-8?B?w6k=?=", "\xc3\xa9"},
      {"=?utf-8?b?w6k=?=", "\xc3\xa9"},
      {"=?x?Q?a?= =?x?Q?b?=", "ab"},  // blanks between words go
      {"=?x?Q?a?=\r\n\t=?x?B?Yg==?=", "ab"},
      {"plain =?x?q?b?= text", "plain b text"},
      {"=?x?Q?a?= plain =?x?Q?b?=", "a plain b"},
      {"=?x?Z?a?=", "=?x?Z?a?="},  // malformed words stay as written
      {"=?x?Q?a b?=", "=?x?Q?a b?="},
      {"=??Q?a?=", "=??Q?a?="},
      {"=?x?Q?open", "=?x?Q?open"},
      {"==?x?Q?A?=", "=A"},
      {"=?x?Q?=41?==?x?Q?B?=", "AB"},
      {"no words", "no words"}};
  for (const auto& [encoded, plain] : cases) EXPECT_EQ(decodeWords(encoded), plain) << encoded;
}

// The words of a folded field and what each holds.
std::vector<std::string> wordsOf(const std::string& field, std::string_view charset) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (true) {
    const std::size_t brk = field.find("\r\n ", start);
    words.push_back(field.substr(start, brk - start));
    if (brk == std::string::npos) break;
    start = brk + 3;
  }
  for (const std::string& w : words) {
    EXPECT_EQ(w.rfind("=?" + std::string(charset) + "?B?", 0), 0u) << w;
    EXPECT_EQ(w.substr(w.size() - 2), "?=") << w;
  }
  return words;
}

TEST(EncodedWords, LongTextFoldsIntoWordsOfAtMost75Characters) {
  const std::string subject(60, 's');
  const std::string field = encodeWords(subject, "windows-1252", 1252, 76 - 9);
  const auto words = wordsOf(field, "windows-1252");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_LE(words[0].size(), 67u);
  EXPECT_LE(words[1].size(), kMaxEncodedWord);
  EXPECT_EQ(decodeWords(field), subject);
  EXPECT_EQ(encodeWords("", "windows-1252", 1252), "");
  EXPECT_EQ(encodeWords("Hi", "windows-1252", 1252), "=?windows-1252?B?SGk=?=");
}

TEST(EncodedWords, DoubleByteCharactersStayWhole) {
  // Shift JIS: two-byte characters after one single-byte one, so that a
  // split by bytes would fall inside a character.
  std::string text = "a";
  for (int i = 0; i < 80; ++i) text += "\x82\xa0";
  for (const unsigned cp : {932u, 936u, 949u, 950u}) {
    const std::string charset(charsetForCodePage(cp));
    const std::string field = encodeWords(text, charset, cp, 60);
    const auto words = wordsOf(field, charset);
    EXPECT_GT(words.size(), 2u);
    std::set<std::size_t> characterStarts;
    for (std::size_t i = 0; i < text.size(); i += characterLength(cp, text, i)) characterStarts.insert(i);
    std::size_t offset = 0;
    for (const std::string& w : words) {
      EXPECT_LE(w.size(), kMaxEncodedWord);
      offset += decodeWords(w).size();
      if (offset < text.size()) {
        EXPECT_TRUE(characterStarts.count(offset)) << cp << ": split at " << offset;
      }
    }
    EXPECT_EQ(decodeWords(field), text);
  }
  // UTF-8 sequences stay whole too.
  std::string utf8;
  for (int i = 0; i < 40; ++i) utf8 += "\xe2\x82\xac";
  for (const std::string& w : wordsOf(encodeWords(utf8, "utf-8", 65001), "utf-8"))
    EXPECT_EQ(decodeWords(w).size() % 3, 0u);
}

TEST(Charsets, LabelsNameTheCodePagesBytes) {
  const std::pair<unsigned, std::string_view> cases[] = {
      {874, "windows-874"},   {932, "shift_jis"},     {936, "gb2312"},        {949, "ks_c_5601-1987"},
      {950, "big5"},          {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
      {1258, "windows-1258"}, {65001, "utf-8"},       {437, "iso-8859-1"}};
  for (const auto& [cp, label] : cases) EXPECT_EQ(charsetForCodePage(cp), label) << cp;
  EXPECT_TRUE(isLeadByte(932, 0x82));
  EXPECT_FALSE(isLeadByte(932, 0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(isLeadByte(1252, 0x82));
  EXPECT_EQ(characterLength(936, "\x81", 0), 1u);  // a lead byte at the end counts alone
}

} // namespace
} // namespace plumex::hostlib::codecs
