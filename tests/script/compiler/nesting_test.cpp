// Deep nesting is refused with an error rather than running out of stack,
// and no source, however it ends, is read past its end.

#include <gtest/gtest.h>

#include <functional>

#include "script/compiler/compile_driver.h"

#include "front_end.h"

namespace plumex::script::compiler {
namespace {

using testing::parse;

std::string repeat(std::string_view s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct Construct {
  const char* name;
  std::function<std::string(int)> source;  // nested n deep
};

const Construct kConstructs[] = {
    {"parentheses", [](int n) { return "x = " + repeat("(", n) + "1" + repeat(")", n) + ";"; }},
    {"arrays", [](int n) { return "x = " + repeat("[", n) + repeat("]", n) + ";"; }},
    {"objects", [](int n) { return "x = " + repeat("{a:", n) + "1" + repeat("}", n) + ";"; }},
    {"blocks", [](int n) { return repeat("{", n) + "x;" + repeat("}", n); }},
    {"ifs", [](int n) { return repeat("if (x) ", n) + "y;"; }},
    {"else-ifs", [](int n) { return "if (x) y;" + repeat(" else if (x) y;", n); }},
    {"whiles", [](int n) { return repeat("while (x) ", n) + "y;"; }},
    {"fors", [](int n) { return repeat("for (;;) ", n) + "y;"; }},
    {"labels", [](int n) { return repeat("a: ", n) + "y;"; }},
    {"try bodies", [](int n) { return repeat("try ", n) + "y;" + repeat(" finally z;", n); }},
    {"switches", [](int n) { return repeat("switch (x) { case 1: ", n) + repeat("}", n); }},
    {"functions", [](int n) { return repeat("function f() { ", n) + repeat("}", n); }},
    {"unary operators", [](int n) { return "x = " + repeat("!", n) + "y;"; }},
    {"unary minus", [](int n) { return "x = " + repeat("- ", n) + "y;"; }},
    {"calls", [](int n) { return "x = " + repeat("f(", n) + repeat(")", n) + ";"; }},
    {"call chains", [](int n) { return "x = f" + repeat("()", n) + ";"; }},
    {"member chains", [](int n) { return "x = a" + repeat(".b", n) + ";"; }},
    {"indexes", [](int n) { return "x = " + repeat("a[", n) + "0" + repeat("]", n) + ";"; }},
    {"new", [](int n) { return "x = " + repeat("new ", n) + "A;"; }},
    {"assignments", [](int n) { return repeat("a = ", n) + "1;"; }},
    {"conditionals", [](int n) { return "x = " + repeat("a ? b : ", n) + "c;"; }},
    {"sums", [](int n) { return "x = 1" + repeat(" + 1", n) + ";"; }},
    {"commas", [](int n) { return "x" + repeat(", x", n) + ";"; }},
    {"structures", [](int n) { return "struct { " + repeat("struct { ", n) + "long a; " + repeat("} s; ", n) + "} S;"; }},
    {"function literals", [](int n) { return repeat("x = function () { ", n) + repeat("};", n); }},
};

const std::string kTooDeep = "statements or expressions nested more than " + std::to_string(kMaxNesting) +
                             " levels deep\n";

bool refusedAsTooDeep(const std::string& messages) {
  return messages.size() > kTooDeep.size() && messages.compare(0, 13, "error: line 0") == 0 &&
         messages.compare(messages.size() - kTooDeep.size(), kTooDeep.size(), kTooDeep) == 0;
}

TEST(Nesting, EveryRecursiveConstructIsBoundedAndWorksUpToItsBound) {
  for (const Construct& c : kConstructs) {
    // Far beyond the bound: an error, not a crash.
    const auto deep = parse(c.source(50 * kMaxNesting));
    EXPECT_FALSE(deep.ok) << c.name;
    EXPECT_TRUE(refusedAsTooDeep(deep.messages)) << c.name << ": " << deep.messages;

    // The deepest accepted source parses (on the 1 MiB main-thread stack of
    // the win32 build too), one level more is refused.
    int ok = 1, refused = 2 * kMaxNesting;
    ASSERT_TRUE(parse(c.source(ok)).ok) << c.name << parse(c.source(ok)).messages;
    ASSERT_FALSE(parse(c.source(refused)).ok) << c.name;
    while (refused - ok > 1) {
      const int mid = (ok + refused) / 2;
      (parse(c.source(mid)).ok ? ok : refused) = mid;
    }
    EXPECT_TRUE(refusedAsTooDeep(parse(c.source(refused)).messages)) << c.name;
    EXPECT_GE(ok, kMaxNesting / 3) << c.name;
    // The code generator and the passes walk the deepest tree as well.
    auto in = ScriptStream::openText(c.source(ok));
    const CompileResult compiled = compileModule(*in, 0);
    EXPECT_TRUE(compiled.module) << c.name << ": " << compiled.messages;
  }
}

TEST(Nesting, BlocksNestExactlyToTheBound) {
  EXPECT_TRUE(parse(repeat("{", kMaxNesting) + repeat("}", kMaxNesting)).ok);
  EXPECT_FALSE(parse(repeat("{", kMaxNesting + 1) + repeat("}", kMaxNesting + 1)).ok);
}

TEST(SourceEnd, SourcesCutAnywhereNeverReadPastTheirEnd) {
  const std::string scripts[] = {
      "x = \"a\\x41\\u0042\\101\\n\" + 'b' + #'c' + #'\\x41' + 0x1F + 017 + 1.5e+3 + .5;",
      "r = /a\\/b[c]\\x41\\u0042\\0\\cA/gim; // comment\n/* block */ #! hash\n",
      "function f(a) { if (a) { return [1, , {k: a}]; } else return new F(a)[0].b; }",
      "struct { unsigned long a; char b[8]; } P; dllimport k stdcall long g(P*, String s) as h;",
      "try { throw 1; } catch (e if e == 1) { } finally { } switch (x) { case 1: default: }",
  };
  for (const std::string& s : scripts) {
    ASSERT_TRUE(parse(s).ok) << s << parse(s).messages;
    for (std::size_t n = 0; n < s.size(); ++n) {
      const auto r = parse(std::string_view(s).substr(0, n));
      if (!r.ok) {
        EXPECT_EQ(r.messages.rfind("error: line ", 0), 0u) << s.substr(0, n);
        EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'), 1) << s.substr(0, n);
      }
    }
  }
}

TEST(SourceEnd, TheEndInsideEachKindOfToken) {
  const struct {
    const char* source;
    const char* messages;
  } cases[] = {
      {"x = \"abc", "error: line 0: unterminated string constant\n"},
      {"x = 'a\\", "error: line 0: unterminated string constant\n"},
      {"x = '\\x", "error: line 0: unterminated string constant\n"},
      {"x = '\\x4", "error: line 0: unterminated string constant\n"},
      {"x = '\\u004", "error: line 0: unterminated string constant\n"},
      {"x = '\\10", "error: line 0: unterminated string constant\n"},
      {"x = /ab", "error: line 0: unterminated regular expression constant\n"},
      {"x = /a\\", "error: line 0: unterminated regular expression constant\n"},
      {"x = /\\c", "error: line 0: unterminated regular expression constant\n"},
      {"x = /\\u1", "error: line 0: unterminated regular expression constant\n"},
      {"x = #'", "error: line 0: illegal character\n"},
      {"x = #'a", "error: line 0: illegal character\n"},
      {"x = #'\\", "error: line 0: unterminated character constant\n"},
      {"x = #'\\x4", "error: line 0: unterminated character constant\n"},
      {"x = 1e", "error: line 0: invalid exponent part in a decimal literal\n"},
      {"x = 1e+", "error: line 0: invalid exponent part in a decimal literal\n"},
      {"x = 0x", ""},
      {"x = 1.", ""},
      {"x = 1 /* open", ""},
      {"x = 1 // open", ""},
      {"x = 1 #! open", ""},
  };
  for (const auto& c : cases) {
    const auto r = parse(c.source);
    EXPECT_EQ(r.messages, c.messages) << c.source;
  }
}

TEST(SourceEnd, ANulByteEndsTheSourceForGood) {
  using namespace std::string_literals;
  const struct {
    std::string source;
    bool ok;
    const char* messages;
  } cases[] = {
      {"x = 1;\0 ))) garbage"s, true, ""},
      {"/* comment \0 */ )))"s, true, ""},
      {"// comment \0\n )))"s, true, ""},
      {"x = 'ab\0cd';"s, false, "error: line 0: unterminated string constant\n"},
      {"x = '\\x4\0';"s, false, "error: line 0: unterminated string constant\n"},
      {"x = '\\u00"s + '\0' + "41';", false, "error: line 0: unterminated string constant\n"},
      {"x = /a\0/;"s, false, "error: line 0: unterminated regular expression constant\n"},
      {"x = /\\c\0/;"s, false, "error: line 0: unterminated regular expression constant\n"},
      {"x = #'\0';"s, false, "error: line 0: illegal character\n"},
      {"x = 1\0e5"s, true, ""},
      {"x = ab\0cd"s, true, ""},
      {"\0"s, true, ""},
  };
  for (const auto& c : cases) {
    const auto r = parse(c.source);
    EXPECT_EQ(r.ok, c.ok) << c.source;
    EXPECT_EQ(r.messages, c.messages) << c.source;
  }
  // What came before the NUL is all there is.
  EXPECT_EQ(testing::lex("a b\0c d"s).tokens, (std::vector<std::string>{"identifier a", "identifier b"}));
}

} // namespace
} // namespace plumex::script::compiler
