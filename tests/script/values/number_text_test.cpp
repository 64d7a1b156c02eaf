#include "script/values/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "script/values/conversions.h"
#include "script/values/value.h"

namespace plumex::script {
namespace {

TEST(NumberText, FloatTextIsPercentGWithThreeExponentDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {1e21, "1e+021"},     {0.1 + 0.2, "0.3"},  {3.5, "3.5"},
      {2.0, "2"},           {-0.0, "-0"},        {123456.0, "123456"},
      {1234567.0, "1.23457e+006"}, {0.0001, "0.0001"}, {0.00001, "1e-005"},
      {1e100, "1e+100"},    {-2.5e-300, "-2.5e-300"}, {1.7976931348623157e308, "1.79769e+308"},
      {std::numeric_limits<double>::infinity(), "1.#INF"},
      {-std::numeric_limits<double>::infinity(), "-1.#INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFloat(c.value), c.text) << c.value;
}

TEST(NumberText, IntegerTextInRadixes) {
  EXPECT_EQ(formatInteger(255, 16), "ff");
  EXPECT_EQ(formatInteger(-1, 16), "ffffffffffffffff");
  EXPECT_EQ(formatInteger(-42, 10), "-42");
  EXPECT_EQ(formatInteger(std::numeric_limits<std::int64_t>::min(), 10), "-9223372036854775808");
  EXPECT_EQ(formatInteger(-1, 2), std::string(64, '1'));
  EXPECT_EQ(formatInteger(35, 36), "z");
  EXPECT_EQ(formatInteger(7, 99), "7");
}

TEST(NumberText, ParseRadixAndPrefixes) {
  const struct {
    std::u16string_view text;
    int radix;
    ParsedKind kind;
    std::int64_t value;
    std::size_t end;
  } cases[] = {
      {u"  12abc", 0, ParsedKind::Integer, 12, 4},
      {u"010", 0, ParsedKind::Integer, 8, 3},
      {u"09", 0, ParsedKind::Integer, 0, 1},
      {u"0x1F", 0, ParsedKind::Integer, 31, 4},
      {u"0X1f", 16, ParsedKind::Integer, 31, 4},
      {u"1F", 16, ParsedKind::Integer, 31, 2},
      {u"- 5", 0, ParsedKind::Integer, -5, 3},
      {u"+z", 36, ParsedKind::Integer, 35, 2},
      {u"0x", 0, ParsedKind::None, 0, 0},
      {u"-", 0, ParsedKind::None, 0, 0},
      {u"abc", 10, ParsedKind::None, 0, 0},
      {u"12", 1, ParsedKind::None, 0, 0},
      {u"9223372036854775807", 10, ParsedKind::Integer, 9223372036854775807ll, 19},
  };
  for (const auto& c : cases) {
    const ParsedNumber p = parseNumberText(c.text, c.radix);
    EXPECT_EQ(p.kind, c.kind) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(p.end, c.end) << std::string(c.text.begin(), c.text.end());
    if (c.kind == ParsedKind::Integer) {
      EXPECT_EQ(p.integerValue, c.value);
    }
  }
}

TEST(NumberText, OverflowGivesFloats) {
  const ParsedNumber dec = parseNumberText(u"12345678901234567890", 10);
  EXPECT_EQ(dec.kind, ParsedKind::Float);
  EXPECT_EQ(dec.floatValue, 12345678901234567890.0);

  const ParsedNumber neg = parseNumberText(u"-9223372036854775808", 0);
  EXPECT_EQ(neg.kind, ParsedKind::Float);
  EXPECT_EQ(neg.floatValue, -9223372036854775808.0);

  // 80 set bits: the first 53 kept, the later set bits stick to the last one
  // (no rounding up to 2^80).
  const ParsedNumber hex = parseNumberText(u"0xFFFFFFFFFFFFFFFFFFFF", 0);
  EXPECT_EQ(hex.kind, ParsedKind::Float);
  EXPECT_EQ(hex.floatValue, std::ldexp(9007199254740991.0, 27));

  // 2^64 + 1 in hexadecimal: the bit below the 53 kept ones is set only far down.
  const ParsedNumber exact = parseNumberText(u"10000000000000001", 16);
  EXPECT_EQ(exact.kind, ParsedKind::Float);
  EXPECT_EQ(exact.floatValue, std::ldexp(4503599627370497.0, 12));
}

TEST(NumberText, DecimalFloatScanner) {
  const struct {
    std::u16string_view text;
    std::size_t end;
    double value;
  } cases[] = {
      {u" 1.5x", 4, 1.5}, {u"1d3", 3, 1000},   {u"2D-2", 4, 0.02}, {u"-.5", 3, -0.5},
      {u"1e", 1, 1},      {u"1e+", 1, 1},      {u".", 0, 0},       {u"0x10", 1, 0},
      {u"inf", 0, 0},     {u"1e999", 5, std::numeric_limits<double>::infinity()},
      {u"1e-999", 6, 0},  {u"5.", 2, 5},
  };
  for (const auto& c : cases) {
    const ScannedFloat f = scanDecimalFloat(c.text);
    EXPECT_EQ(f.end, c.end) << std::string(c.text.begin(), c.text.end());
    if (f.end) {
      EXPECT_EQ(f.value, c.value) << std::string(c.text.begin(), c.text.end());
    }
  }
}

TEST(NumberText, TextToNumberKinds) {
  const struct {
    std::u16string_view text;
    Kind kind;
    double value;
  } cases[] = {
      {u"", Kind::Integer, 0},        {u"  12abc", Kind::Integer, 12}, {u"010", Kind::Integer, 8},
      {u"0x1F", Kind::Integer, 31},   {u"09", Kind::Integer, 0},       {u"1e3", Kind::Float, 1000},
      {u"1.5", Kind::Float, 1.5},     {u"1D2", Kind::Float, 100},      {u"7d-1", Kind::Float, 0.7},
      {u"abc", Kind::NaN, 0},         {u"-", Kind::NaN, 0},            {u"   ", Kind::NaN, 0},
      {u".5", Kind::Float, 0.5},      {u"0x", Kind::Float, 0},         {u"010.5", Kind::Float, 10.5},
      {u"-12", Kind::Integer, -12},   {u"12345678901234567890", Kind::Float, 12345678901234567890.0},
      {u"0x123456789ABCDEF0123", Kind::Float, 0x123456789ABCDEF0123p0},
  };
  for (const auto& c : cases) {
    const Value v = numberFromText(c.text);
    const std::string label(c.text.begin(), c.text.end());
    ASSERT_EQ(v.kind, c.kind) << label;
    if (v.is(Kind::Integer)) {
      EXPECT_EQ(v.integerValue(), static_cast<std::int64_t>(c.value)) << label;
    }
    if (v.is(Kind::Float)) {
      EXPECT_EQ(v.floatValue(), c.value) << label;
    }
  }
}

} // namespace
} // namespace plumex::script
