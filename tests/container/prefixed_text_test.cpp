#include "container/prefixed_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/byte_io.h"
#include "container/container_errors.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A count followed by the given UTF-16 units, exactly as listed.
Bytes prefixed(std::uint32_t count, std::u16string_view units) {
  ByteWriter w;
  w.u32(count);
  for (char16_t c : units) w.u16(c);
  return w.take();
}

TEST(PrefixedText, ReadsUnitsUpToTheFirstNul) {
  struct Case {
    const char* what;
    Bytes data;
    std::optional<std::u16string> text;
    std::size_t consumed;
  };
  const Case cases[] = {
      {"count 0 is an absent text", prefixed(0, u""), std::nullopt, 4},
      {"count 1 is the empty text", prefixed(1, std::u16string_view(u"\0", 1)), u"", 6},
      {"text and NUL", prefixed(3, std::u16string_view(u"ab\0", 3)), u"ab", 10},
      {"no NUL at the end", prefixed(2, u"ab"), u"ab", 8},
      {"NUL inside ends the text, the count still skips",
       prefixed(4, std::u16string_view(u"a\0bc", 4)), u"a", 12},
      {"non-ASCII units", prefixed(3, std::u16string_view(u"\u00E9\u20AC\0", 3)), u"\u00E9\u20AC",
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes data = c.data;
    data.push_back(0x77); // the next field must stay unread
    ByteReader in(data);
    EXPECT_EQ(readPrefixedUtf16(in), c.text);
    EXPECT_EQ(in.position(), c.consumed);
    EXPECT_EQ(in.u8(), 0x77);
  }
}

TEST(PrefixedText, CountsPastTheDataThrow) {
  const Bytes cases[] = {
      {},
      {0x01, 0x00, 0x00},
      prefixed(2, std::u16string_view(u"a", 1)),
      prefixed(0xFFFFFFFF, u"abc"),
      prefixed(0x80000000, u"abc"),
  };
  for (const Bytes& data : cases) {
    SCOPED_TRACE(data.size());
    ByteReader in(data);
    EXPECT_THROW(readPrefixedUtf16(in), FormatError);
    ByteReader again(data);
    EXPECT_THROW(readPrefixedText(again), FormatError);
  }
}

TEST(PrefixedText, ConvertsToAnsiAndCutsToItsBuffer) {
  {
    const Bytes data = prefixed(6, std::u16string_view(u"Caf\u00E9\u20AC\0", 6));
    ByteReader in(data);
    EXPECT_EQ(readPrefixedText(in), "Caf\xE9\x80");
  }
  const std::u16string longName(300, u'n');
  Bytes data;
  {
    ByteWriter w;
    writePrefixedText(w, longName);
    data = w.take();
  }
  struct Case {
    std::size_t capacity;
    std::size_t length;
  };
  for (const Case c : {Case{kNameCapacity, 259}, Case{32, 31}, Case{0, 300}, Case{301, 300},
                       Case{300, 299}}) {
    SCOPED_TRACE(c.capacity);
    ByteReader in(data);
    EXPECT_EQ(readPrefixedText(in, c.capacity), std::string(c.length, 'n'));
    EXPECT_TRUE(in.atEnd());
  }
  const Bytes countZero(4, 0);
  ByteReader absent(countZero);
  EXPECT_EQ(readOptionalText(absent), std::nullopt);
  ByteReader absentName(countZero);
  EXPECT_EQ(readPrefixedText(absentName), "");
}

TEST(PrefixedText, WritesCountNulAndUnits) {
  const std::pair<std::u16string, Bytes> cases[] = {
      {u"", {1, 0, 0, 0, 0, 0}},
      {u"A\u20AC", {3, 0, 0, 0, 'A', 0, 0xAC, 0x20, 0, 0}},
      // A NUL inside ends the text for every reader, so only what they see is stored.
      {std::u16string(u"A\0B", 3), {2, 0, 0, 0, 'A', 0, 0, 0}},
  };
  for (const auto& [text, bytes] : cases) {
    ByteWriter w;
    writePrefixedText(w, text);
    EXPECT_EQ(w.data(), bytes);
  }
  ByteWriter w;
  writeAnsiText(w, "\xE9");
  EXPECT_EQ(w.data(), (Bytes{2, 0, 0, 0, 0xE9, 0, 0, 0}));
}

TEST(PrefixedText, SafeFileNames) {
  const char* safe[] = {"intro.swf", "a",     "readme.txt",  "Caf\xE9.txt", "a.b.c",  "CONSOLE",
                        "COM10",     "LPT",   "COMA",        "my file.swf", ".hidden", "NULL.txt", "COM\xBC"};
  const char* unsafe[] = {
      "", ".", "..", "...", "../x", "a..b", "x/y", "x\\y", "c:x", "C:", "a:b", "CON", "con",
      "Con.txt", "PRN", "AUX", "NUL", "nul.tar.gz", "NUL ", "COM1", "com9.log", "LPT1", "lpt5",
      "CON .txt", "name.", "name ", "tab\there", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
      "\x01", "ends\x1F", "COM\xB9", "lpt\xB2.txt", "Com\xB3",
  };
  for (const char* name : safe) EXPECT_TRUE(isSafeFileName(name)) << name;
  for (const char* name : unsafe) EXPECT_FALSE(isSafeFileName(name)) << name;
}

} // namespace
} // namespace plumex::container
