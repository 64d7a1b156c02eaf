#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "script/values/element_access.h"
#include "script/values/string_record.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

class Strings : public EngineTest {};

TEST_F(Strings, WritesAreSharedAndStoreOneUnit) {
  const Value s = str(u"ab");
  const Value alias = s;
  writeStringElement(e, *s.asString(), Value::integer(0), Value::integer(0x141));
  EXPECT_EQ(text(alias), u"Ab");
  writeStringElement(e, *s.asString(), Value::integer(1), str(u"\u20ACxyz"));
  EXPECT_EQ(text(alias), u"A\u20AC");
  writeStringElement(e, *s.asString(), Value::integer(5), Value::integer('x'));
  EXPECT_EQ(text(alias), u"A\u20AC   x");
  EXPECT_EQ(s.asString()->length(), 6u);
  EXPECT_TRUE(takeWarnings().empty());
}

TEST_F(Strings, RefusedWritesWarnAndChangeNothing) {
  static constexpr char16_t kLiteral[] = u"lit";
  const Value lit = makeStaticString(e, kLiteral, 3);
  const Value s = str(u"ab");
  writeStringElement(e, *lit.asString(), Value::integer(0), Value::integer('x'));
  writeStringElement(e, *s.asString(), Value::number(1.0), Value::integer('x'));
  writeStringElement(e, *s.asString(), Value::integer(-1), Value::integer('x'));
  writeStringElement(e, *s.asString(), Value::integer(0), Value::number(65.0));
  writeStringElement(e, *s.asString(), Value::integer(0), str(u""));
  // A huge index would overflow the 32-bit length.
  writeStringElement(e, *s.asString(), Value::integer(0xFFFFFFFFll), Value::integer('x'));
  writeStringElement(e, *s.asString(), Value::integer(1ll << 40), Value::integer('x'));
  EXPECT_EQ(takeWarnings(), (std::vector<std::string>{
                                "Warning: can't change a static string",
                                "Warning: invalid index for operator []",
                                "Warning: invalid index for operator []",
                                "Warning: can't store a non-charactor value to string",
                                "Warning: can't store a non-charactor value to string",
                                "Warning: string index out of range",
                                "Warning: string index out of range",
                            }));
  EXPECT_EQ(text(lit), u"lit");
  EXPECT_EQ(text(s), u"ab");
}

TEST_F(Strings, ReadsGiveCodeUnits) {
  const Value s = str(u"a\uFFFF");
  EXPECT_EQ(readStringElement(e, *s.asString(), Value::integer(1)).integerValue(), 0xFFFF);
  EXPECT_TRUE(readStringElement(e, *s.asString(), Value::integer(2)).is(Kind::Undefined));
  EXPECT_TRUE(readStringElement(e, *s.asString(), Value::integer(-1)).is(Kind::Undefined));
  EXPECT_TRUE(readStringElement(e, *s.asString(), Value::number(0)).is(Kind::Undefined));
  EXPECT_EQ(takeWarnings(), (std::vector<std::string>{
                                "Warning: string index out of range",
                                "Warning: string index out of range",
                                "Warning: invalid index for operator []",
                            }));
}

TEST_F(Strings, AnsiTextCrossesTheSeam) {
  const Value s = makeString(e, "caf\xE9 \x80");
  EXPECT_EQ(text(s), u"caf\u00E9 \u20AC");
  EXPECT_FALSE(s.asString()->isStatic());
  EXPECT_EQ(toAnsi(s), "caf\xE9 \x80");
  EXPECT_EQ(toAnsi(str(u"\u4E2D")), "?");
  EXPECT_EQ(text(makeString(e, "")), u"");
  EXPECT_EQ(toAnsi(Value::integer(1)), "");
}

TEST_F(Strings, CompareByUnsignedUnitsThenLength) {
  const struct {
    std::u16string_view a, b;
    int order;
  } cases[] = {
      {u"a", u"b", -1}, {u"b", u"a", 1},   {u"ab", u"ab", 0},     {u"ab", u"abc", -1},
      {u"", u"", 0},    {u"\uFFFF", u"a", 1}, {u"Z", u"a", -1},   {u"abc", u"ab", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(compareStrings(c.a, c.b), c.order);
}

TEST_F(Strings, ConcatenationIsBounded) {
  EXPECT_EQ(text(concatStrings(e, u"ab", u"cd")), u"abcd");
  // The length is checked before any text is read, so a view that only
  // claims a huge length is enough.
  const std::u16string small = u"x";
  const std::u16string_view big(small.data(), StringRecord::kMaxLength / 2 + 1);
  EXPECT_FALSE(runProtected(e, [&] { concatStrings(e, big, big); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Out of memory");
}

} // namespace
} // namespace plumex::script
