#include "platform/ansi_text.h"

#include <gtest/gtest.h>

namespace plumex {
namespace {

// The same expectations hold natively (our Windows-1252 table) and under
// Wine (the system's CP_ACP), which is what keeps the two builds in step.
struct Case {
  const char* ansi;
  std::u16string utf16;
};

TEST(AnsiText, ConvertsBothWays) {
  const Case cases[] = {
      {"", u""},
      {"plain ASCII 123", u"plain ASCII 123"},
      {"caf\xE9 na\xEFve \xC5", u"caf\u00E9 na\u00EFve \u00C5"},
      {"\x80 \x85 \x99 \x9F", u"\u20AC \u2026 \u2122 \u0178"},
      {"nul\0inside", u"nul"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ansi);
    EXPECT_EQ(ansiToUtf16(c.ansi), c.utf16);
    EXPECT_EQ(utf16ToAnsi(c.utf16), c.ansi);
  }
}

TEST(AnsiText, KeepsEmbeddedNulAndEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = ansiToUtf16(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide[0], u'\0');
  EXPECT_EQ(wide[0x80], u'\u20AC');
  EXPECT_EQ(wide[0x81], u'\u0081');
  EXPECT_EQ(wide[0xFF], u'\u00FF');
  EXPECT_EQ(utf16ToAnsi(wide), all);
}

TEST(AnsiText, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(utf16ToAnsi(u"a\u4E2Db\u0416c"), "a?b?c");
  // Each unit of a surrogate pair is unmappable on its own.
  EXPECT_EQ(utf16ToAnsi(u"x\U0001F600y"), "x??y");
}

} // namespace
} // namespace plumex
