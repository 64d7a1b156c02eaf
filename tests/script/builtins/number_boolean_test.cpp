// Number and Boolean from script: calling and constructing, the constants,
// number texts in every radix, toInteger and format.

#include "script_fixture.h"

namespace plumex::script {
namespace {

using NumberClass = testing::ScriptTest;

TEST_F(NumberClass, CalledAndConstructedGivePrimitives) {
  expectAll({
      {"Number()", "int 0"},
      {"new Number('0x10')", "int 16"},
      {"Number('1.5')", "float 1.5"},
      {"Number('abc')", "NaN"},
      {"Number(true)", "int 1"},
      {"typeof new Number(3)", "\"number\""},
      {"new Boolean('')", "false"},
      {"Boolean('x')", "true"},
      {"Boolean()", "false"},
      {"Boolean(0.0)", "false"},
      {"typeof new Boolean(1)", "\"boolean\""},
  });
}

TEST_F(NumberClass, ConstantsOnTheClassAndOnEveryNumber) {
  expectAll({
      {"Number.MAX_VALUE", "float 1.79769e+308"},
      {"Number.MAX_VALUE == 1.7976931348623157e308", "true"},
      {"Number.MIN_VALUE == 2.2250738585072014e-308", "true"},
      {"Number.NaN", "NaN"},
      {"Number.POSITIVE_INFINITY", "float 1.#INF"},
      {"Number.NEGATIVE_INFINITY", "float -1.#INF"},
      {"x = 5; x.MAX_VALUE == Number.MAX_VALUE", "true"},
      {"x = 0 / 0; x.POSITIVE_INFINITY > 0", "true"},
      // Read-only: a store is ignored, quietly.
      {"Number.MAX_VALUE = 1; Number.MAX_VALUE == 1", "false"},
      {"x = 1.5; x.NaN = 2; x.NaN", "NaN"},
  });
  EXPECT_TRUE(takeWarnings().empty());
}

TEST_F(NumberClass, TextsInEveryRadix) {
  expectAll({
      {"x = 255; x.toString(16)", "\"ff\""},
      {"x = -1; x.toString(16)", "\"ffffffffffffffff\""},
      {"x = -255; x.toString(10)", "\"-255\""},
      {"x = -2; x.toString(2)", "\"1111111111111111111111111111111111111111111111111111111111111110\""},
      {"x = 35; x.toString(36)", "\"z\""},
      {"x = 9223372036854775807; x.toString(8)", "\"777777777777777777777\""},
      // No usable radix: decimal.
      {"x = 255; x.toString()", "\"255\""},
      {"x = 255; x.toString(37)", "\"255\""},
      {"x = 255; x.toString(1)", "\"255\""},
      {"x = 255; x.toString('16')", "\"255\""},
      {"x = 255; x.toString(4294967312)", "\"255\""},
      // Floats ignore the radix and print as "%g" with three exponent digits.
      {"x = 1e21; x.toString(16)", "\"1e+021\""},
      {"x = 0.1 + 0.2; x.toString()", "\"0.3\""},
      {"x = 123456789.0; x.toString()", "\"1.23457e+008\""},
      {"x = 0.0001; x.toString()", "\"0.0001\""},
      {"x = 0.00001; x.toString()", "\"1e-005\""},
      {"x = 0 / 0; x.toString(2)", "\"NaN\""},
      {"Number.toString()", "\"[type Function]\""},
      {"Number.valueOf() == Number", "true"},
      {"x = 2.5; x.valueOf()", "float 2.5"},
      {"x = 7; x.valueOf()", "int 7"},
  });
}

TEST_F(NumberClass, ToIntegerTruncatesTowardZero) {
  expectAll({
      {"x = -2.7; x.toInteger()", "int -2"},
      {"x = 2.7; x.toInteger()", "int 2"},
      {"x = 42; x.toInteger()", "int 42"},
      {"x = 0 / 0; x.toInteger()", "NaN"},
      {"Number.toInteger()", "NaN"},
      // Beyond 64 bits the truncated value stays a Float.
      {"x = 1e300; x.toInteger() == 1e300", "true"},
      {"x = Number.NEGATIVE_INFINITY; x.toInteger()", "float -1.#INF"},
  });
}

TEST_F(NumberClass, FormatWithOneMatchingConversion) {
  expectAll({
      {"x = 42; x.format('%05d')", "\"00042\""},
      {"x = 3.14159; x.format('%.2f')", "\"3.14\""},
      {"x = 42; x.format('[%-5d|%+d]')", "\"\""},  // two conversions
      {"x = 42; x.format('[%-5d]')", "\"[42   ]\""},
      {"x = 42; x.format('%+d%%')", "\"+42%\""},
      {"x = 255; x.format('%x %%|%X')", "\"\""},
      {"x = 255; x.format('%#x')", "\"0xff\""},
      {"x = 255; x.format('%#o')", "\"0377\""},
      {"x = 255; x.format('%08.4X')", "\"    00FF\""},
      {"x = 0; x.format('%.0d|')", "\"|\""},
      // Without a 64-bit length only the low word is read, as a 32-bit int.
      {"x = 4294967297; x.format('%d')", "\"1\""},
      {"x = 4294967297; x.format('%ld')", "\"1\""},
      {"x = 4294967297; x.format('%lld')", "\"4294967297\""},
      {"x = 4294967297; x.format('%I64d')", "\"4294967297\""},
      {"x = -1; x.format('%u')", "\"4294967295\""},
      {"x = -1; x.format('%llx')", "\"ffffffffffffffff\""},
      {"x = -5; x.format('% 6i')", "\"    -5\""},
      {"x = 5; x.format('% i')", "\" 5\""},
      // Floating conversions, exponents with three digits.
      {"x = 1234.5; x.format('%e')", "\"1.234500e+003\""},
      {"x = 1234.5; x.format('%.2E')", "\"1.23E+003\""},
      {"x = 1234.5; x.format('%g')", "\"1234.5\""},
      {"x = 0.00001234; x.format('%G')", "\"1.234E-005\""},
      {"x = 100.0; x.format('%#g')", "\"100.000\""},
      {"x = 2.0; x.format('%#.0f')", "\"2.\""},
      {"x = -2.5; x.format('%010.3f')", "\"-00002.500\""},
      {"x = 2.5; x.format('%-8.1f|')", "\"2.5     |\""},
      {"x = 1e300; x.format('%.0f').length", "int 301"},
      {"x = 1.5; x.format('%lf')", "\"1.500000\""},
      {"x = Number.POSITIVE_INFINITY; x.format('%+8.2f')", "\" +1.#INF\""},
      {"x = 0 / 0; x.format('%d')", "\"NaN\""},
      // Without a String argument: the value's text.
      {"x = 42; x.format()", "\"42\""},
      {"x = 2.5; x.format(3)", "\"2.5\""},
  });
}

TEST_F(NumberClass, FormatsThatDoNotFitGiveTheEmptyString) {
  // Every one of these would let a formatting routine read what the value
  // does not supply, or is not a single conversion of the value's kind.
  for (const char* format : {"%s", "%n", "%p", "%c", "%S", "%d %d", "no conversion", "%", "%5",
                             "%*d", "%.*d", "%hd", "%qd", "%501d", "%.501d", "%f", "%e", "%g"}) {
    EXPECT_EQ(run(std::string("x = 42; x.format('") + format + "')"), "\"\"") << format;
  }
  for (const char* format : {"%d", "%x", "%u", "%lld", "%s", "%llf", "%I64g", "%f%f"}) {
    EXPECT_EQ(run(std::string("x = 4.5; x.format('") + format + "')"), "\"\"") << format;
  }
  EXPECT_EQ(run("x = 42; x.format('%500d').length"), "int 500");
  EXPECT_EQ(run("x = 4.5; x.format('%.500f').length"), "int 502");
  EXPECT_EQ(run("Number.format('%d')"), "\"\"");
}

using BooleanClass = testing::ScriptTest;

TEST_F(BooleanClass, TextsAndValues) {
  expectAll({
      {"b = true; b.toString()", "\"true\""},
      {"b = false; b.toString()", "\"false\""},
      {"b = true; b.valueOf()", "true"},
      {"Boolean.toString()", "\"[type Function]\""},
      {"Boolean.valueOf() == Boolean", "true"},
      {"'' + Boolean", "\"[type Function]\""},
  });
}

} // namespace
} // namespace plumex::script
