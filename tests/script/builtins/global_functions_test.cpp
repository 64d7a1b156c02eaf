// The global functions that read numbers, escape text and call by name,
// and the globals NaN and Infinity.

#include "script_fixture.h"

namespace plumex::script {
namespace {

using GlobalFunctions = testing::ScriptTest;

TEST_F(GlobalFunctions, ParseIntAndParseFloat) {
  expectAll({
      {"parseInt('0x1A')", "int 26"},
      {"parseInt('12abc')", "int 12"},
      {"parseInt('  -42')", "int -42"},
      {"parseInt('abc')", "NaN"},
      {"parseInt('')", "NaN"},
      {"parseInt()", "NaN"},
      {"parseInt('101', 2)", "int 5"},
      {"parseInt('ff', '16')", "int 255"},
      {"parseInt('0xff', 16)", "int 255"},
      {"parseInt('z', 36)", "int 35"},
      {"parseInt('010')", "int 8"},
      {"parseInt('09')", "int 0"},
      {"parseInt('010', 10)", "int 10"},
      {"parseInt('12', 1)", "NaN"},
      {"parseInt('12', 37)", "NaN"},
      {"parseInt('12', -1)", "NaN"},
      {"parseInt('12', 4294967306)", "NaN"},
      {"parseInt(3.9)", "int 3"},
      {"parseInt('1.5e3')", "int 1"},
      {"parseInt('99999999999999999999')", "float 1e+020"},
      {"parseFloat('3.5kg')", "float 3.5"},
      {"parseFloat('010')", "float 8"},
      {"parseFloat('0x10')", "float 16"},
      {"parseFloat(7)", "float 7"},
      {"parseFloat('1e3')", "float 1000"},
      {"parseFloat('x')", "NaN"},
      {"parseFloat()", "NaN"},
  });
}

TEST_F(GlobalFunctions, NaNInfinityAndTheirTests) {
  expectAll({
      {"NaN", "NaN"},
      {"Infinity", "float 1.#INF"},
      {"-Infinity", "float -1.#INF"},
      {"isNaN(NaN)", "true"},
      {"isNaN(1)", "false"},
      {"isNaN(1.5)", "false"},
      {"isNaN('abc')", "true"},
      {"isNaN('12')", "false"},
      {"isNaN(undefined)", "true"},
      {"isNaN(null)", "false"},
      {"isNaN()", "undefined"},
      {"isFinite(1)", "true"},
      {"isFinite(NaN)", "false"},
      {"isFinite(Infinity)", "false"},
      {"isFinite(-Infinity)", "false"},
      {"isFinite(1e308)", "true"},
      {"isFinite('1e999')", "false"},
      {"isFinite('12')", "true"},
      {"isFinite('x')", "false"},
      {"isFinite()", "undefined"},
  });
}

TEST_F(GlobalFunctions, EscapeAndUnescape) {
  expectAll({
      {"escape(' ')", "\"%20\""},
      {"escape('\\u20ac')", "\"%u20AC\""},
      {"escape(unescape('%u0100%uFFFF'))", "\"%u0100%uFFFF\""},
      {"escape('aZ09@*_+-./')", "\"aZ09@*_+-./\""},
      {"escape('\\u00e9&=')", "\"%E9%26%3D\""},
      {"escape(12)", "\"12\""},
      {"escape()", "\"\""},
      {"unescape('%20%u20AC')", "\"\x20\x80\""},
      {"unescape('%E9') == '\\u00e9'", "true"},
      {"unescape('%u20ac') == '\\u20ac'", "true"},
      // Incomplete escapes are copied as they are.
      {"unescape('%2 %u12 %zz %')", "\"%2 %u12 %zz %\""},
      {"unescape('%u0041%41')", "\"AA\""},
      {"unescape()", "undefined"},
      {"s = '\\u0001 \\u00ff\\u0100\\uffff'; unescape(escape(s)) == s", "true"},
  });
}

TEST_F(GlobalFunctions, UriEncodingKeepsItsSets) {
  expectAll({
      {"encodeURIComponent('/')", "\"%2F\""},
      {"encodeURI('/')", "\"/\""},
      {"encodeURI(';/?:@&=+$,#')", "\";/?:@&=+$,#\""},
      {"encodeURIComponent(';/?:@&=+$,#')", "\"%3B%2F%3F%3A%40%26%3D%2B%24%2C%23\""},
      {"encodeURIComponent(\"az-_.!~*'()09\")", "\"az-_.!~*'()09\""},
      {"encodeURI('a b%')", "\"a%20b%25\""},
      {"encodeURI(unescape('%E9%u20AC'))", "\"%C3%A9%E2%82%AC\""},
      {"encodeURI(unescape('%uD83D%uDE00'))", "\"%F0%9F%98%80\""},
      {"encodeURI(unescape('%u07FF%u0800%7F'))", "\"%DF%BF%E0%A0%80%7F\""},
      {"decodeURI('%2F')", "\"%2F\""},
      {"decodeURIComponent('%2F')", "\"/\""},
      {"decodeURI('%2f%41%20')", "\"%2fA \""},
      {"escape(decodeURI('%C3%A9%e2%82%ac%DF%BF'))", "\"%E9%u20AC%u07FF\""},
      {"escape(decodeURIComponent('%F0%9F%98%80'))", "\"%uD83D%uDE00\""},
      // Neither overlong forms nor encoded surrogates are refused.
      {"escape(decodeURIComponent('%C1%81%ED%A0%80'))", "\"A%uD800\""},
      {"decodeURI('plain')", "\"plain\""},
      {"encodeURI()", "undefined"},
      {"decodeURI()", "undefined"},
  });
  EXPECT_TRUE(takeWarnings().empty());
}

TEST_F(GlobalFunctions, MalformedUrisGiveUndefinedWithATraceLine) {
  for (const char* call : {
           "encodeURI(unescape('%uD83D'))",           // a high surrogate alone
           "encodeURI(unescape('%uD83Dx'))",          // followed by something else
           "encodeURIComponent(unescape('%uDE00'))",  // a low surrogate alone
           "decodeURI('%')",
           "decodeURI('%4')",
           "decodeURI('%G0')",
           "decodeURI('%80')",              // a continuation byte first
           "decodeURI('%C3')",              // the sequence ends early
           "decodeURI('%C3A9')",            // the next byte not escaped
           "decodeURI('%C3%41')",           // not a continuation byte
           "decodeURI('%FE%80%80%80%80%80%80')",
           "decodeURIComponent('%F4%90%80%80')",  // beyond the last plane
       }) {
    EXPECT_EQ(run(call), "undefined") << call;
    EXPECT_EQ(takeWarnings(), std::vector<std::string>{"Invalid URI string"}) << call;
  }
}

TEST_F(GlobalFunctions, CallByNameWithPositionalArguments) {
  expectAll({
      {"function add(a, b) { return a + b; } o = {}; o[0] = 2; o[1] = 3; o.length = 2; _call('add', o)",
       "int 5"},
      // The arguments are the slots by position, whatever their names.
      {"function f(a, b, c) { return '' + a + b + c; } o = {}; o.p = 'x'; o.q = 'y'; o.length = 2; "
       "_call('f', o)", "\"xyundefined\""},
      {"function n() { return arguments.length; } o = {}; o.length = 0; _call('n', o)", "int 0"},
      {"o = {}; o[0] = '0x10'; o.length = 1; _call('parseInt', o)", "int 16"},
      // "length" holds a slot of its own; positions beyond the slots read
      // as Undefined.
      {"o = {}; o[0] = 'p'; o.length = 3; _call('f', o)", "\"p3undefined\""},
      {"o = {}; o.length = 0; _call('f', o, 1)", "\"undefinedundefinedundefined\""},
  });
  // Anything else gives Undefined without calling.
  expectAll({
      {"called = 0; function g() { called++; return 1; } _call('g')", "undefined"},
      {"_call(g, {length: 0})", "undefined"},
      {"_call('g', [1])", "undefined"},
      {"_call('g', {})", "undefined"},
      {"_call('g', {length: '1'})", "undefined"},
      {"_call('g', {length: 1.0})", "undefined"},
      {"_call('g', {length: -1})", "undefined"},
      {"_call('g', {length: 4294967296})", "undefined"},
      {"_call('g', {length: 100000})", "undefined"},
      {"called", "int 0"},
      {"_call('noSuchFunction', {length: 0})", "undefined"},
      {"_call('never seen before', {length: 0})", "undefined"},
      {"x = 5; _call('x', {length: 0})", "undefined"},
  });
}

TEST_F(GlobalFunctions, CallByNameLengthIsBoundedByTheStackLeft) {
  // As many arguments as the stack holds can be passed; one more is
  // refused before anything is read or called.
  EXPECT_EQ(run("function n() { return arguments.length; }"
                "o = {}; for (i = 0; i < 3000; i++) o['k' + i] = i; o.length = 3000; _call('n', o)"),
            "int 3000");
  EXPECT_EQ(run("o.length = 5000; _call('n', o)"), "undefined");
}

} // namespace
} // namespace plumex::script
