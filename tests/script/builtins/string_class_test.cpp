// The String class from script: construction, "length", and every method
// on the edges of its positions and counts.

#include "script_fixture.h"

namespace plumex::script {
namespace {

using StringClass = testing::ScriptTest;

TEST_F(StringClass, CalledAndConstructed) {
  expectAll({
      {"String()", "\"\""},
      {"String(5)", "\"5\""},
      {"new String(5)", "\"5\""},
      {"new String()", "\"\""},
      {"String(null)", "\"undefined\""},
      {"typeof new String('a')", "\"string\""},
      // Called, the same string comes back; constructed, a copy that a
      // store into leaves the first alone.
      {"s = 'ab' + 'c'; t = String(s); t[0] = 'x'; s", "\"xbc\""},
      {"s = 'ab' + 'c'; t = new String(s); t[0] = 'x'; s + t", "\"abcxbc\""},
  });
}

TEST_F(StringClass, ConstructedStringsInheritFromTheClassObject) {
  // A member stored on the class object goes to the class prototype, which
  // a constructed string's own table leads to.
  EXPECT_EQ(run("String.shout = function () { return this + '!'; }; t = new String('hi'); t.shout()"),
            "\"hi!\"");
  EXPECT_TRUE(takeWarnings().empty());
  EXPECT_EQ(run("'hi'.shout()"), "undefined");
  EXPECT_EQ(takeWarnings(), std::vector<std::string>{"Warning: unknown method \"shout\""});
}

TEST_F(StringClass, LengthIsReadOnly) {
  expectAll({
      {"'abc'.length", "int 3"},
      {"''.length", "int 0"},
      {"unescape('%u20AC%uD83D%uDE00').length", "int 3"},
      {"s = 'ab' + 'c'; s.length = 10; s.length", "int 3"},
  });
  EXPECT_TRUE(takeWarnings().empty());
}

TEST_F(StringClass, TextsOfTheClassObjectAndOfValues) {
  expectAll({
      {"String.toString()", "\"[Object String]\""},
      {"'' + String", "\"[Object String]\""},
      {"String.valueOf() == String", "true"},
      {"s = 'ab' + 'c'; t = s.toString(); t[0] = 'x'; s", "\"xbc\""},
      {"s = 'ab' + 'c'; t = s.valueOf(); t[0] = 'y'; s", "\"ybc\""},
  });
}

TEST_F(StringClass, CharactersAndCodes) {
  expectAll({
      {"String.fromCharCode(72, '105', 33.7)", "\"Hi!\""},
      {"'x'.fromCharCode(65)", "\"A\""},
      {"escape(String.fromCharCode(65601, ' -65471', -0.5, null, 'x', '  7x'))", "\"AA%00%00%00%07\""},
      {"String.fromCharCode()", "\"\""},
      {"'abc'.charAt(1)", "\"b\""},
      {"'abc'.charAt(99)", "\"\""},
      {"'abc'.charAt(-1)", "\"\""},
      {"'abc'.charAt('1')", "\"\""},
      // The index is read as an unsigned 32-bit number.
      {"'abc'.charAt(4294967298)", "\"c\""},
      {"'abc'.charCodeAt(1)", "int 98"},
      {"'abc'.charCodeAt()", "int 97"},
      {"'abc'.charCodeAt(99)", "NaN"},
      {"'abc'.charCodeAt(-1)", "NaN"},
      {"'abc'.charCodeAt('0')", "NaN"},
      {"unescape('%uFFFF').charCodeAt(0)", "int 65535"},
  });
}

TEST_F(StringClass, Searching) {
  expectAll({
      {"'banana'.indexOf('an')", "int 1"},
      {"'banana'.indexOf('an', 2)", "int 3"},
      {"'banana'.indexOf('an', -5)", "int 1"},
      {"'banana'.indexOf('an', 6)", "int -1"},
      {"'banana'.indexOf('x')", "int -1"},
      {"'banana'.indexOf()", "int -1"},
      {"'banana'.indexOf('')", "int 0"},
      {"'a1b'.indexOf(1)", "int 1"},
      {"'banana'.lastIndexOf('a')", "int 5"},
      {"'banana'.lastIndexOf('a', 4)", "int 3"},
      {"'banana'.lastIndexOf('an', 99)", "int 3"},
      {"'banana'.lastIndexOf('b', 0)", "int 0"},
      {"'banana'.lastIndexOf('a', -1)", "int -1"},
      {"'ab'.lastIndexOf('abc')", "int -1"},
      {"'banana'.lastIndexOf()", "int -1"},
      {"'banana'.lastIndexOf('a', 'x')", "int 5"},
      {"'banana'.search('nan')", "int 2"},
      {"'banana'.search('x')", "int -1"},
      {"'banana'.search(5)", "int -1"},
      {"'banana'.search()", "int -1"},
      // Both texts count only up to their first zero unit.
      {"z = String.fromCharCode(0); ('ab' + z + 'cd').search('c')", "int -1"},
      {"('abcd').search('c' + z + 'x')", "int 2"},
      {"('ab' + z + 'cd').indexOf('c')", "int 3"},
      {"'banana'.match('an')", "[]"},
  });
}

TEST_F(StringClass, SliceSubstrAndSubstring) {
  expectAll({
      {"'abcdef'.slice(2)", "\"cdef\""},
      {"'abcdef'.slice(-3)", "\"def\""},
      {"'abcdef'.slice(1, -1)", "\"bcde\""},
      {"'abcdef'.slice(-99, 2)", "\"ab\""},
      {"'abcdef'.slice(4, 2)", "\"\""},
      {"'abcdef'.slice(99)", "\"\""},
      {"'abcdef'.slice(2, 99)", "\"cdef\""},
      {"'abcdef'.slice()", "\"\""},
      {"'abcdef'.slice('1')", "\"\""},
      {"'abcdef'.slice(1, '3')", "\"bcdef\""},
      {"'abcdef'.substr(-3, 2)", "\"de\""},
      {"'abcdef'.substr(1)", "\"bcdef\""},
      {"'abcdef'.substr(1, 99)", "\"bcdef\""},
      {"'abcdef'.substr(1, -2)", "\"\""},
      {"'abcdef'.substr(-99, 1)", "\"a\""},
      {"'abcdef'.substr(99, 1)", "\"\""},
      {"'abcdef'.substr()", "\"\""},
      {"'abcdef'.substring(1, 3)", "\"bc\""},
      {"'abcdef'.substring(3, 1)", "\"\""},
      {"'abcdef'.substring(-2, 2)", "\"ab\""},
      {"'abcdef'.substring(2, -1)", "\"\""},
      {"'abcdef'.substring(4)", "\"ef\""},
      {"'abcdef'.substring(2, 99)", "\"cdef\""},
      {"'abcdef'.substring(9)", "\"\""},
      {"'abcdef'.substring(9, 99)", "\"\""},
      {"'abcdef'.substring()", "\"\""},
  });
}

TEST_F(StringClass, Split) {
  expectAll({
      {"'a,b,,'.split(',')", "[\"a\", \"b\", \"\", \"\"]"},
      {"'a,b,,'.split(',', 2)", "[\"a\", \"b\"]"},
      {"'a,b'.split(',', 0)", "[]"},
      {"'a,b'.split(',', -1)", "[]"},
      {"'a,b'.split(',', '1')", "[\"a\", \"b\"]"},
      {"'abc'.split(',')", "[\"abc\"]"},
      {"''.split(',')", "[\"\"]"},
      {"',a'.split(',')", "[\"\", \"a\"]"},
      {"'a<>b<>c'.split('<>')", "[\"a\", \"b\", \"c\"]"},
      {"'aaa'.split('aa')", "[\"\", \"a\"]"},
      {"'abc'.split('')", "[\"a\", \"b\", \"c\"]"},
      {"'abc'.split('', 2)", "[\"a\", \"b\"]"},
      {"'a,b'.split()", "[\"a,b\"]"},
      {"'a1b'.split(1)", "[\"a1b\"]"},
  });
}

TEST_F(StringClass, PlainReplacement) {
  expectAll({
      {"'aaaa'.replace('aa', 'b', true)", "\"bb\""},
      {"'aaaa'.replace('aa', 'b', false)", "\"baa\""},
      {"'aaaa'.replace('aa', 'b')", "\"baa\""},
      {"'aaa'.replace('a', 'aa', 1)", "\"aaaaaa\""},
      {"'abc'.replace('x', 'y')", "\"abc\""},
      {"'abc'.replace('', 'y')", "\"abc\""},
      // An empty replacement leaves the text as it is, too.
      {"'abc'.replace('b', '')", "\"abc\""},
      {"''.replace('a', 'b')", "\"\""},
      {"'abc'.replace('b', 1)", "\"\""},
      {"'abc'.replace(1, 'x')", "\"\""},
      {"'abc'.replace('b')", "\"\""},
      // The result is a new string.
      {"s = 'ab' + 'c'; t = s.replace('x', 'y'); t[0] = 'z'; s", "\"abc\""},
  });
}

// The regular-expression forms belong to RegExp; here only that each
// method hands a RegExp argument over, and what its other arguments do.
TEST_F(StringClass, RegExpArgumentsAreHandedOver) {
  expectAll({
      {"'foo'.replace(/o/g, '0')", "\"f00\""},
      {"'foo'.replace(/o/, '0', true)", "\"f0o\""},
      {"'foo'.replace(/o/g, 0)", "\"\""},
      {"'a1b22c'.match(/[0-9]+/g)", "[\"1\", \"22\"]"},
      {"'a1b22c'.search(/[0-9]{2}/)", "int 3"},
      {"'a1b22c'.search(/x/)", "int -1"},
      {"'a1b22c'.split(/[0-9]+/)", "[\"a\", \"b\", \"c\"]"},
      {"'a1b22c'.split(/[0-9]+/, 2)", "[\"a\", \"b\"]"},
      {"'a1b22c'.split(/[0-9]+/, 'x')", "[\"a\", \"b\", \"c\"]"},
  });
}

TEST_F(StringClass, CaseMappingPerUnit) {
  // Texts beyond the code page are written and shown escaped.
  ASSERT_EQ(run("function up(s) { return escape(unescape(s).toUpperCase()); }"
                "function down(s) { return escape(unescape(s).toLowerCase()); }"), "undefined");
  expectAll({
      {"'Hello, World 1!'.toUpperCase()", "\"HELLO, WORLD 1!\""},
      {"'Hello, World 1!'.toLowerCase()", "\"hello, world 1!\""},
      {"up('%E9%FF%DF%F7%B5')", "\"%C9%u0178%DF%F7%B5\""},
      {"down('%C9%u0178%D7')", "\"%E9%FF%D7\""},
      // Latin Extended-A pairs start on even units, then on odd ones.
      {"up('%u0101%u013A%u0148%u014B%u017E%u0138%u0149')", "\"%u0100%u0139%u0147%u014A%u017D%u0138%u0149\""},
      {"down('%u0100%u0139%u0147%u014A%u017D%u0138%u0149')", "\"%u0101%u013A%u0148%u014B%u017E%u0138%u0149\""},
      {"up('%u0131%u0130%u017F')", "\"I%u0130S\""},
      {"down('%u0131%u0130%u0178')", "\"%u0131i%FF\""},
      {"up('%u03B1%u03C2%u03C9%u03AC%u03AD%u03CC%u03CE')", "\"%u0391%u03A3%u03A9%u0386%u0388%u038C%u038F\""},
      {"down('%u0391%u03A3%u03A9%u0386%u0388%u038C%u038F%u03A2')", "\"%u03B1%u03C3%u03C9%u03AC%u03AD%u03CC%u03CE%u03A2\""},
      {"up('%u0430%u044F%u0451%u045F%u0491')", "\"%u0410%u042F%u0401%u040F%u0490\""},
      {"down('%u0410%u042F%u0401%u040F%u0490')", "\"%u0430%u044F%u0451%u045F%u0491\""},
      // Units outside those scripts, surrogates among them, stay.
      {"up('%u4E2D%uD801%uDC28%u0250')", "\"%u4E2D%uD801%uDC28%u0250\""},
      {"down('%u4E2D%uD801%uDC00%u1E00')", "\"%u4E2D%uD801%uDC00%u1E00\""},
  });
}

TEST_F(StringClass, ConcatAndMarkup) {
  expectAll({
      {"'a'.concat(1, null, true, 2.5)", "\"a1undefinedtrue2.5\""},
      {"'a'.concat()", "\"a\""},
      {"'x'.bold()", "\"<B>x</B>\""},
      {"'x'.link('http://h/?a=1')", "\"<A HREF=\"http://h/?a=1\">x</A>\""},
      {"'x'.anchor('n')", "\"<A NAME=\"n\">x</A>\""},
      {"'x'.fontColor('red')", "\"<FONT COLOR=\"red\">x</FONT>\""},
      {"'x'.fontSize(7)", "\"<FONT SIZE=\"7\">x</FONT>\""},
      {"'x'.link()", "\"<A HREF=\"\">x</A>\""},
      {"'x'.big() + 'x'.blink() + 'x'.fixed() + 'x'.italics()",
       "\"<BIG>x</BIG><BLINK>x</BLINK><TT>x</TT><I>x</I>\""},
      {"'x'.small() + 'x'.strike() + 'x'.sub() + 'x'.sup()",
       "\"<SMALL>x</SMALL><STRIKE>x</STRIKE><SUB>x</SUB><SUP>x</SUP>\""},
      // Markup is as long as its texts: nothing is cut.
      {"s = 'x'; for (i = 0; i < 12; i++) s = s + s; s.bold().length", "int 4103"},
      {"s = 'y'; for (i = 0; i < 12; i++) s = s + s; s.fontColor(s).length", "int 8214"},
  });
}

TEST_F(StringClass, ConversionsThatRunScriptChangeTheString) {
  // The argument's toString changes the receiver: concat has read it
  // before, the others read it after.
  expectAll({
      {"s = 'ab' + 'cd'; o = {}; o.toString = function () { s[6] = 'z'; return 'q'; }; s.concat(o)",
       "\"abcdq\""},
      {"s = 'ab' + 'cd'; o = {}; o.toString = function () { s[8] = 'z'; return 'z'; }; s.indexOf(o)",
       "int 8"},
      {"s = 'ab' + 'cd'; o = {}; o.toString = function () { s[8] = 'z'; return 'z'; }; s.lastIndexOf(o)",
       "int 8"},
      {"s = 'ab' + 'cd'; o = {}; o.toString = function () { s[5] = 'z'; return 'u'; }; s.link(o)",
       "\"<A HREF=\"u\">abcd z</A>\""},
  });
}

TEST_F(StringClass, MembersThatAreNotThereWarn) {
  EXPECT_EQ(run("String.charAt(0)"), "undefined");
  EXPECT_EQ(run("'abc'.trim()"), "undefined");
  EXPECT_EQ(takeWarnings(), (std::vector<std::string>{"Warning: unknown method \"charAt\"",
                                                      "Warning: unknown method \"trim\""}));
  EXPECT_EQ(run("String.fromCharCode(97)"), "\"a\"");
}

} // namespace
} // namespace plumex::script
