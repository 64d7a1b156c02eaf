// The RegExp class through scripts (literals, the constructor, exec, test,
// compile, the class properties) and the operations the String methods
// hand over (match, search, replace, split), called directly.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_text.h"
#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"
#include "script_fixture.h"

namespace plumex::script {
namespace {

using namespace std::string_view_literals;

// The shared engine, with values shown in this test's own way.
class RegExpTest : public testing::ScriptTest {
protected:
  // Strings in quotes (ANSI), arrays as their elements in brackets, null
  // as such, other values as their text.
  std::string show(const Value& v) {
    if (v.is(Kind::Null)) return "null";
    if (v.is(Kind::String)) return "\"" + utf16ToAnsi(v.asString()->view()) + "\"";
    if (v.is(Kind::Array)) {
      std::string s = "[";
      const ArrayRecord& a = *v.asArray();
      for (std::uint64_t i = 0; i < a.length; ++i) {
        const Value* element = a.get(i);
        s += (i ? ", " : "") + (element ? show(*element) : "_");
      }
      return s + "]";
    }
    return toAnsi(toStringValue(e, v));
  }

  std::string run(std::string_view source) {
    if (!vm::runText(e, source)) return "error: " + e.errorText();
    return show(e.result);
  }

  struct Case {
    const char* source;
    const char* shows;
  };
  void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(run(c.source), c.shows) << c.source;
  }

  // A RegExp from script (a literal stays alive as a module constant).
  Value regexp(std::string_view source) {
    EXPECT_TRUE(vm::runText(e, source)) << e.errorText();
    EXPECT_TRUE(builtins::isRegExp(e, e.result)) << source;
    return e.result;
  }
  // A String operation's result, shown.
  template <class Op>
  std::string call(Op op) {
    std::string out;
    EXPECT_TRUE(runProtected(e, [&] { out = show(op()); })) << e.errorText();
    return out;
  }
  Value text(std::string_view ansi) { return makeString(e, ansi); }
};

TEST_F(RegExpTest, ConstructorsLiteralsAndInstanceProperties) {
  expectAll({
      {"r = new RegExp('a(b)?c', 'gi'); r", "/a(b)?c/gi"},
      {"[r.global, r.ignoreCase, r.multiline, r.source, r.lastIndex]", "[true, true, false, \"a(b)?c\", 0]"},
      // Called as a function it constructs; letters other than g, i, m are
      // ignored, and the flags print in the order g, i, m.
      {"RegExp('x', 'mzig') + ''", "\"/x/gim\""},
      {"x = /ab+c/m; [x.source, x.multiline, x.global, x + '']", "[\"ab+c\", true, false, \"/ab+c/m\"]"},
      // A pattern that is not a String is the empty one, which matches at
      // the start.
      {"r = new RegExp(5); [r + '', r.test('abc'), r.exec('abc').index]", "[\"//\", true, 0]"},
      {"RegExp.toString() + '|' + RegExp", "\"[Object RegExp]|[Object RegExp]\""},
      // lastIndex takes Integers only; the other properties are read-only.
      {"r = /a/g; r.lastIndex = 3; r.lastIndex = '4'; r.global = false; r.source = 'z'; [r.lastIndex, r.global, r.source]",
       "[3, true, \"a\"]"},
      // Other names are ordinary expando properties of the object.
      {"r = /a/; r.note = 7; [r.note, new RegExp('a').note]", "[7, undefined]"},
  });
  EXPECT_TRUE(warnings.empty());
}

TEST_F(RegExpTest, PatternsThatDoNotCompile) {
  EXPECT_EQ(run("new RegExp('a(')"), "null");
  EXPECT_EQ(warnings, std::vector<std::string>{"RegExp runtime error: Unmatched marking parenthesis ( or \\(."});
  warnings.clear();
  // A literal becomes its object when the module loads: the same warning,
  // and null in its place.
  EXPECT_EQ(run("x = /[b/; x"), "null");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("RegExp runtime error: ", 0), 0u) << warnings[0];
  warnings.clear();

  // compile replaces pattern and flags; a failure leaves the object as it
  // was.
  expectAll({
      {"r = /a/g; r.compile('b+', 'i') + ' ' + r + ' ' + r.exec('aBBb')", "\"true /b+/i BBb\""},
      {"r.compile('(', 'g') + ' ' + r + ' ' + r.test('xB')", "\"false /b+/i true\""},
      {"r.compile() + ' ' + r", "\"false /b+/i\""},
  });
  EXPECT_EQ(warnings, std::vector<std::string>{"RegExp runtime error: Unmatched marking parenthesis ( or \\(."});
}

TEST_F(RegExpTest, ExecResults) {
  expectAll({
      {"m = /(\\d+)-(\\d+)/.exec('tel 12-345 ok'); [m, m.index, m.input, m.length]",
       "[[\"12-345\", \"12\", \"345\"], 4, \"tel 12-345 ok\", 3]"},
      // The groups end at the first one that did not take part, whatever
      // matched after it.
      {"/a(b)?c/.exec('xac')", "[\"ac\"]"},
      {"/(x)?(c)(d)/.exec('cd')", "[\"cd\"]"},
      {"/(a)(x)?(c)/.exec('ac')", "[\"ac\", \"a\"]"},
      {"/z/.exec('abc')", "null"},
      // Without an argument, and when the object is called, the last
      // input is searched.
      {"/b/.exec('abc'); /c/.exec().index", "2"},
      {"r = /b(.)/; r('abcd')", "[\"bc\", \"c\"]"},
      {"/z/.exec('xbyz'); r()", "[\"by\", \"y\"]"},
      // Text converts: numbers search their digits.
      {"/2/.exec(123).index", "1"},
  });
}

TEST_F(RegExpTest, LastIndexAndTest) {
  expectAll({
      // A global object moves lastIndex to each match end, and back to 0
      // when the search fails.
      {"r = /o/g; s = 'foo'; a = r.exec(s); b = r.lastIndex; c = r.exec(s); d = r.lastIndex; f = r.exec(s);"
       "[a.index, b, c.index, d, f, r.lastIndex]",
       "[1, 2, 2, 3, null, 0]"},
      {"r = /a/g; r.test('aa') + ' ' + r.lastIndex + ' ' + r.test('aa') + ' ' + r.lastIndex + ' ' + r.test('aa') +"
       "' ' + r.lastIndex",
       "\"true 1 true 2 false 0\""},
      // Any object searches from lastIndex; only a global one moves it.
      {"r = /o/; r.lastIndex = 2; r.exec('foo').index + ' ' + r.lastIndex + ' ' + r.test('fo') + ' ' + r.lastIndex",
       "\"2 2 false 2\""},
      // Beyond the text an empty remainder is searched.
      {"r = /x*/g; r.lastIndex = 10; m = r.exec('ab'); [m.index, m[0], r.lastIndex]", "[2, \"\", 2]"},
      {"r = /a/g; r.lastIndex = -1; r.lastIndex + ' ' + r.test('aaa') + ' ' + r.lastIndex", "\"4294967295 false 0\""},
      // The remainder is searched as a text of its own: "^" matches where
      // the search starts.
      {"r = /^a/g; r.lastIndex = 1; r.test('aa') + ' ' + r.lastIndex", "\"true 2\""},
  });
}

TEST_F(RegExpTest, FlagsAndTextUnits) {
  expectAll({
      {"[/ABC/i.test('xabcx'), /ABC/.test('xabcx'), /[A-C]+/i.exec('xaBcx')[0]]", "[true, false, \"aBc\"]"},
      // Without "m", "^" and "$" match at the ends of the text only, and
      // "." matches a newline; with "m" they match at line breaks and "."
      // stops at them.
      {"s = 'a\\nb\\nc'; [/^b$/.test(s), /^b$/m.test(s), /a.b/.test(s), /a.b/m.test(s), /c$/.test('c\\n')]",
       "[false, true, true, false, false]"},
      {"r = /^./mg; r.exec('x\\nyz'); r.exec('x\\nyz')", "[\"y\"]"},
      // A search ends at the first NUL of the text, and a pattern at its
      // first NUL.
      {"[/b/.test('a\\u0000b'), /a/.test('a\\u0000b'), new RegExp('a\\u0000z').source]", "[false, true, \"a\"]"},
  });
}

TEST_F(RegExpTest, UnitsReachTheLibraryOneForOne) {
  // A lone surrogate in a pattern matches its half of a pair, at that
  // unit's position; a range of units beyond Latin-1 holds by code unit.
  // Kept in globals, out of the collector's way.
  const Atom loneAtom = e.internAnsi("lone"), rangeAtom = e.internAnsi("range");
  ASSERT_TRUE(runProtected(e, [&] {
    const Value lone = e.vm.makeRegExp(e, u"\xDE00(.)", 0);
    e.global(loneAtom) = lone;
    const Value range = e.vm.makeRegExp(e, u"[\u20AC-\u20AF]+", 0);
    e.global(rangeAtom) = range;
  }));
  const Value lone = e.global(loneAtom), range = e.global(rangeAtom);
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, lone, copyString(e, u"\xD83D\xDE00x")); }), "1");
  EXPECT_EQ(run("RegExp.$1"), "\"x\"");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, range, copyString(e, u"a\u20AC\u20B0\u20ADb")); }), "1");
  ASSERT_TRUE(vm::runText(e, "RegExp.rightContext"));
  EXPECT_TRUE(stringText(e.result) == u"\u20B0\u20ADb");
}

TEST_F(RegExpTest, ClassPropertiesFollowTheLastSearch) {
  EXPECT_EQ(run("[RegExp.input, RegExp.lastMatch, RegExp.$1, RegExp.leftContext]"),
            "[null, null, null, null]");
  expectAll({
      {"/(b)(c)?(d)?/.exec('abce'); [RegExp.$1, RegExp.$2, RegExp.$3, RegExp.$9, RegExp.lastParen]",
       "[\"b\", \"c\", null, null, \"c\"]"},
      {"[RegExp.lastMatch, RegExp.leftContext, RegExp.rightContext, RegExp.input, RegExp['$_']]",
       "[\"bc\", \"a\", \"e\", \"abce\", \"abce\"]"},
      // Any instance reads them too; stores are ignored.
      {"r = /q/; RegExp.$1 = 'zz'; r.lastMatch = 'zz'; [r.$1, r.lastMatch, RegExp.$1]", "[\"b\", \"bc\", \"b\"]"},
      // lastParen is the end of the run of matched groups.
      {"/(a)(x)?(c)/.exec('ac'); [RegExp.lastParen, RegExp.$3]", "[\"a\", \"c\"]"},
      // A failed search keeps its text as the input and clears the match.
      {"/q/.exec('xyz'); [RegExp.input, RegExp.lastMatch, RegExp.$1, RegExp.rightContext]",
       "[\"xyz\", null, null, null]"},
      // Positions are whole-text offsets, also after a search from
      // lastIndex.
      {"r = /(.)b/g; r.lastIndex = 2; r.exec('abcb'); [RegExp.leftContext, RegExp.$1, RegExp.rightContext]",
       "[\"ab\", \"c\", \"\"]"},
  });
}

TEST_F(RegExpTest, StateSurvivesCollectionsAndAReplacedClass) {
  // The last input is a string no script holds any more.
  EXPECT_EQ(run("s = 'ab'; s += 'cd'; /c/.exec(s); s = null; 1"), "1");
  e.collectGarbage();
  EXPECT_EQ(run("[RegExp.input, RegExp.rightContext]"), "[\"abcd\", \"d\"]");
  // Literals still become RegExp objects after the global is replaced.
  EXPECT_EQ(run("RegExp = null; 1"), "1");
  e.collectGarbage();
  EXPECT_EQ(run("r = /b+/g; r.exec('abbc') + ' ' + r.lastIndex"), "\"bb 3\"");
}

TEST_F(RegExpTest, Replace) {
  struct ReplaceCase {
    const char* regexp;
    std::string_view text;
    const char* with;
    std::string_view result;
  } cases[] = {
      {"/o/g", "foo", "0", "f00"},
      {"/o/", "foo", "0", "f0o"},
      {"/o/", "foo", "$&$&", "fooo"},
      {"/(\\w+)\\s(\\w+)/", "John Smith", "$2, $1", "Smith, John"},
      {"/b/", "abc", "[$$|$`|$']", "a[$|a|c]c"},
      // "$`" is the text from the search position, not from the start.
      {"/b/g", "abcb", "<$`>", "a<a>c<c>"},
      {"/(a)(b)?/", "ab", "$+", "b"},
      {"/(a)(x)?(b)/", "ab", "$+", "a"},
      {"/(a)(x)?/", "a", "[$2$9]", "[]"},
      {"/a/", "a", "$0$x$", "$0$x$"},
      // Empty matches replace nothing.
      {"/x*/g", "abc", "-", "abc"},
      {"/x*/g", "axc", "-", "a-c"},
      {"/z/g", "abc", "-", "abc"},
      // The search stops at a NUL; what follows is copied.
      {"/b/g", "ab\0b"sv, "0", "a0\0b"sv},
  };
  for (const ReplaceCase& c : cases) {
    const Value re = regexp(c.regexp);
    const std::string expected = "\"" + std::string(c.result) + "\"";
    EXPECT_EQ(call([&] { return builtins::regexpReplace(e, re, text(c.text), text(c.with)); }), expected)
        << c.regexp << " " << c.text << " " << c.with;
  }

  // Without "g" the search starts at lastIndex, the text before it kept;
  // with "g" it starts at 0 and lastIndex returns to 0.
  const Value once = regexp("r = /o/; r.lastIndex = 2; r");
  EXPECT_EQ(call([&] { return builtins::regexpReplace(e, once, text("foo"), text("0")); }), "\"fo0\"");
  const Value all = regexp("g = /o/g; g.lastIndex = 2; g");
  EXPECT_EQ(call([&] { return builtins::regexpReplace(e, all, text("foo"), text("0")); }), "\"f00\"");
  // The class keeps the last match, as whole-text offsets.
  EXPECT_EQ(run("[g.lastIndex, RegExp.leftContext, RegExp.input]"), "[0, \"fo\", \"foo\"]");
}

TEST_F(RegExpTest, MatchSearchAndSplit) {
  const Value o = regexp("/(o)/");
  EXPECT_EQ(call([&] { return builtins::regexpMatch(e, o, text("foo")); }), "[\"o\", \"o\"]");
  EXPECT_EQ(run("RegExp.input"), "\"foo\"");

  struct MatchCase {
    const char* regexp;
    const char* text;
    const char* result;
  } matches[] = {
      {"/o/g", "foo", "[\"o\", \"o\"]"},
      {"/\\d+/g", "a1b22c333", "[\"1\", \"22\", \"333\"]"},
      // An empty match moves on by one unit; the one at the end counts.
      {"/x*/g", "ab", "[\"\", \"\", \"\"]"},
      {"/z/g", "abc", "[]"},
  };
  for (const MatchCase& c : matches) {
    // Whatever lastIndex was, the search starts at 0 and leaves it at 0.
    const Value re = regexp("m = " + std::string(c.regexp) + "; m.lastIndex = 2; m");
    EXPECT_EQ(call([&] { return builtins::regexpMatch(e, re, text(c.text)); }), c.result) << c.regexp;
    EXPECT_EQ(run("m.lastIndex"), "0");
  }

  const Value oOnce = regexp("/o/");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, oOnce, text("foo")); }), "1");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, oOnce, text("bar")); }), "-1");
  const Value oAll = regexp("s = /o/g; s");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, oAll, text("foo")); }), "1");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, oAll, text("foo")); }), "2");
  EXPECT_EQ(run("s.lastIndex"), "3");
  EXPECT_EQ(call([&] { return builtins::regexpSearch(e, oAll, text("foo")); }), "-1");
  EXPECT_EQ(run("s.lastIndex"), "0");

  struct SplitCase {
    const char* regexp;
    const char* text;
    std::int64_t limit;
    const char* pieces;
  } splits[] = {
      {"/,/", "a,b,,c", 2147483647, "[\"a\", \"b\", \"\", \"c\"]"},
      {"/,/", "a,b,,c", 2, "[\"a\", \"b\"]"},
      {"/,/", "a,b", 0, "[]"},
      {"/,/", ",a,", 10, "[\"\", \"a\", \"\"]"},
      // Groups are not pieces.
      {"/(,)/", "a,b", 10, "[\"a\", \"b\"]"},
      // Empty matches split between units, "^" at every piece start.
      {"/x*/", "abc", 10, "[\"a\", \"b\", \"c\"]"},
      {"/^/", "abc", 10, "[\"a\", \"b\", \"c\"]"},
      {"/b*/", "abbc", 10, "[\"a\", \"c\"]"},
      {"/,/", "", 10, "[\"\"]"},
  };
  for (const SplitCase& c : splits) {
    const Value re = regexp(c.regexp);
    EXPECT_EQ(call([&] { return builtins::regexpSplit(e, re, text(c.text), c.limit); }), c.pieces)
        << c.regexp << " " << c.text;
  }
}

TEST_F(RegExpTest, OnlyRegExpObjectsAreTakenUp) {
  const Value object = regexp("/a/");
  ASSERT_TRUE(vm::runText(e, "RegExp"));
  const Value classObject = e.result;
  for (const Value& v : {classObject, text("a"), Value::null()}) {
    EXPECT_FALSE(builtins::isRegExp(e, v));
    EXPECT_EQ(call([&] { return builtins::regexpReplace(e, v, text("a"), text("b")); }), "null");
    EXPECT_EQ(call([&] { return builtins::regexpSplit(e, v, text("a"), 5); }), "null");
  }
  EXPECT_TRUE(builtins::isRegExp(e, object));
}

TEST_F(RegExpTest, CatastrophicPatternsEndWithoutAMatch) {
  // Exponential backtracking: the library gives up at its bound on work,
  // which counts as no match.
  const std::string text = std::string(40, 'a') + "!";
  expectAll({
      {("/(a+)+b/.exec('" + text + "')").c_str(), "null"},
      {("/(a|aa)*c/.test('" + text + "')").c_str(), "false"},
      {("/(x+x+)+y/.test('" + std::string(40, 'x') + "')").c_str(), "false"},
  });
  const Value re = regexp("/(a*)*b/g");
  EXPECT_EQ(call([&] { return builtins::regexpReplace(e, re, makeString(e, text), makeString(e, "-")); }),
            "\"" + text + "\"");
  EXPECT_EQ(call([&] { return builtins::regexpSplit(e, re, makeString(e, text), 10); }), "[\"" + text + "\"]");
}

TEST_F(RegExpTest, AsciiPatternsMatchAsciiTextAsWideOnesDo) {
  // An ASCII pattern over ASCII text takes the library's char matcher; the
  // same pattern with an alternative that holds a unit beyond ASCII and
  // never matches takes the wide one. Every operation agrees.
  struct Case {
    const char16_t* pattern;
    const char16_t* flags;
    const char16_t* text;
  } cases[] = {
      {u"[a-z]+[0-9]+", u"g", u"item12 alpha3 x 45beta gamma7"},
      {u"(\\w+)@(\\w+)\\.com", u"", u"mail bob@example.com now"},
      {u"^item[0-9]+ ", u"", u"item5 x"},
      {u"[^a-c]", u"gi", u"AbCdE"},
      {u"\\bfoo\\b", u"gi", u"Foo food foo"},
      {u"a.c", u"g", u"abc\na\nc aXc"},
      {u"^b|$", u"gm", u"a\nb\nb"},
      {u"(a)|(b)", u"g", u"xaby"},
      {u"\\s+", u"g", u" a  b\t c "},
      {u"[[:upper:]][[:digit:]]", u"g", u"A1 b2 C3"},
      {u"x*", u"g", u"abc"},
      {u"[\\x00-\\x7f]+", u"", u"abc"},
      {u"\\xE9|b", u"g", u"abc"},
      {u"[\\x{100}-\\x{200}]|c", u"g", u"abc"},
      {u"(\\d+)-(\\d+)", u"", u"10-20 and 30-40"},
      {u"A(?=b)", u"gi", u"bab aB"},
      {u"(a+)+b", u"", u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
  };
  // One statement each: elements of an array literal are not evaluated
  // left to right.
  const std::string ops =
      "; o = new Array(); o[0] = t.match(r); o[1] = t.replace(r, \"<$&|$1|$`>\"); o[2] = t.split(r); "
      "o[3] = t.search(r); o[4] = r.exec(t); o[5] = r.test(t); o[6] = RegExp.lastMatch; o[7] = RegExp.$1; "
      "o[8] = RegExp.leftContext; o[9] = RegExp.rightContext; o";
  for (const Case& c : cases) {
    e.global(e.internAnsi("t")) = copyString(e, c.text);
    e.global(e.internAnsi("f")) = copyString(e, c.flags);
    e.global(e.internAnsi("p")) = copyString(e, c.pattern);
    const std::string narrow = run("r = new RegExp(p, f)" + ops);
    e.global(e.internAnsi("p")) = copyString(e, u"(?:" + std::u16string(c.pattern) + u")|\u00e9(?!)");
    const std::string wide = run("r = new RegExp(p, f)" + ops);
    EXPECT_EQ(narrow, wide) << utf16ToAnsi(c.pattern);
    EXPECT_EQ(narrow.rfind("error", 0), std::string::npos) << narrow;
  }
  e.global(e.internAnsi("t")) = copyString(e, u"item12 alpha3 x 45beta");
  EXPECT_EQ(run("t.match(/[a-z]+[0-9]+/g)"), "[\"item12\", \"alpha3\"]");
}

} // namespace
} // namespace plumex::script
