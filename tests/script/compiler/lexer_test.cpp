#include <gtest/gtest.h>

#include "front_end.h"
#include "script/compiler/keywords.h"
#include "script/compiler/token.h"

namespace plumex::script::compiler {
namespace {

using testing::lex;

std::string joined(const std::vector<std::string>& tokens) {
  std::string out;
  for (const auto& t : tokens) out += (out.empty() ? "" : " | ") + t;
  return out;
}

struct Case {
  const char* source;
  const char* tokens;
};

TEST(Lexer, TokensOfTheLanguage) {
  const Case cases[] = {
      // comments
      {"a/*x*/b", "identifier a | identifier b"},
      {"a /* never closed", "identifier a"},
      {"a #! anything at all\nb", "identifier a | identifier b"},
      {"a // to the end\nb", "identifier a | identifier b"},
      {"a # b", "identifier a | '#' | identifier b"},
      // operators, longest match
      {"= == === ! != !==", "'=' | '==' | '===' | '!' | '!=' | '!=='"},
      {"< <= << <<= > >= >> >>= >>> >>>=", "'<' | '<=' | '<<' | '<<=' | '>' | '>=' | '>>' | '>>=' | '>>>' | '>>>='"},
      {"& && &= | || |= + ++ += - -- -=", "'&' | '&&' | '&=' | '|' | '||' | '|=' | '+' | '++' | '+=' | '-' | '--' | '-='"},
      {"* *= / /= % %= ^ ^=", "'*' | '*=' | '/' | '/=' | '%' | '%=' | '^' | '^='"},
      {"a+++b", "identifier a | '++' | '+' | identifier b"},
      // identifiers and keywords
      {"$x _y z9 instanceof", "identifier $x | identifier _y | identifier z9 | identifier instanceof"},
      {"as struct dllimport undefined class super", "as | struct | dllimport | undefined | class | super"},
      {"\xE9t\xE9", "byte 0xE9 | identifier t | byte 0xE9"},
      // numbers
      {"0x1F 0XfF 017 019 0 0x", "integer 31 | integer 255 | integer 15 | integer 1 | integer 9 | integer 0 | integer 0"},
      {"9223372036854775807", "integer 9223372036854775807"},
      {"9223372036854775808", "number 9223372036854775808"},
      {"20000000000000000000", "number 2e+19"},
      {"0xFFFFFFFFFFFFFFFF 0x1FFFFFFFFFFFFFFFF", "integer -1 | integer -1"},
      {"1e3 1. .5 5.25 1E+2 2.5e-1 0.5 0e1", "number 1000 | number 1 | number 0.5 | number 5.25 | number 100 | number 0.25 | number 0.5 | number 0"},
      {".x", "'.' | identifier x"},
      {"1.e2", "number 100"},
      // character constants
      {"#'A' #'\\n' #'\\xFF' #'\\101' #'\\''", "integer 65 | integer 10 | integer -1 | integer 65 | integer 39"},
      {"#'\xE9'", "integer -23"},
      // strings and escapes
      {R"("a\tb" 'c"d' "")", R"(string "a\tb" | string "c\"d" | string "")"},
      {R"("\n\t\v\b\r\f\a\\\?\'\"")", R"(string "\n\t\x0B\x08\r\x0C\x07\\?'\"")"},
      {R"("\x41\x7a")", R"(string "Az")"},
      {R"("\101\0101\400\1234\08")", R"(string "AA\x00S4\x008")"},
      {R"("\u0041\u00e9\u20AC\u4E41")", R"(string "A\xE9\x80?")"},
      {"\"a\\\nb\"", R"(string "ab")"},
      {"\"a\nb\"", R"(string "a\nb")"},
      {R"("a\0b")", R"(string "a\x00b")"},
      {R"("\q")", R"(string "q")"},
  };
  for (const Case& c : cases) {
    const auto r = lex(c.source);
    EXPECT_EQ(joined(r.tokens), c.tokens) << c.source;
  }
}

TEST(Lexer, SingleCharacterKindsAreTheCodeSignExtended) {
  auto in = ScriptStream::openText("( ; . # \x80 \xFF");
  auto messages = ScriptStream::openMemory();
  Diagnostics diag(*messages);
  Arena arena;
  Lexer lexer(*in, diag, arena, false);
  for (int expected : {40, 59, 46, 35, -128, -1, tok::End}) EXPECT_EQ(lexer.next().kind, expected);
}

TEST(Lexer, LinesCountFromZeroThroughCommentsStringsAndContinuations) {
  const auto r = lex("a\n// c\n/* x\ny */ b\n\"s\nt\" c \"u\\\nv\" d\n#'\n' e");
  EXPECT_EQ(joined(r.tokens), R"(identifier a | identifier b | string "s\nt" | identifier c | string "uv" | identifier d | integer 10 | identifier e)");
  EXPECT_EQ(r.lines, (std::vector<int>{0, 3, 4, 5, 5, 6, 7, 8}));
}

TEST(Lexer, Diagnostics) {
  const struct {
    const char* source;
    const char* messages;
  } cases[] = {
      {"a\nb\n\"open", "error: line 2: unterminated string constant\n"},
      {"'a\\x4'", "error: line 0: illegal character '\\x4''\n"},
      {"\"\\xG1\"", "error: line 0: illegal character '\\xG1'\n"},
      {"\"\\x4", "error: line 0: unterminated string constant\n"},
      {"\"\\u12G4\"", "error: line 0: illegal unicode character '\\u12G4'\n"},
      {"\"\\u12", "error: line 0: unterminated string constant\n"},
      {"\"\\", "error: line 0: unterminated string constant\n"},
      {"#'AB'", "error: line 0: illegal character\n"},
      {"#'A", "error: line 0: illegal character\n"},
      {"#'\\x4", "error: line 0: unterminated character constant\n"},
      {"1e", "error: line 0: invalid exponent part in a decimal literal\n"},
      {"\n1.5e+x", "error: line 1: invalid exponent part in a decimal literal\n"},
      {"\"\\q\\w\"", "warning: line 0: unknown escape sequence '\\q'\nwarning: line 0: unknown escape sequence '\\w'\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(lex(c.source).messages, c.messages) << c.source;
}

TEST(Lexer, StrictStringsWarnOncePerLiteral) {
  const auto r = lex("'a\nb\nc' 'd\ne' 'f'", kOptionStrictStrings);
  EXPECT_EQ(r.messages,
            "warning: line 1: ECMAScript don't allow line terminators in string constants\n"
            "warning: line 3: ECMAScript don't allow line terminators in string constants\n");
  EXPECT_EQ(r.tokens.size(), 3u);
  EXPECT_EQ(lex("'a\nb'").messages, "");
}

TEST(Lexer, KeywordTableUsesTheNameHashAndKnowsAllThirtyNineWords) {
  int found = 0;
  for (int kind = tok::Break; kind <= tok::As; ++kind) {
    const std::string_view text = keywordText(kind);
    if (text.empty()) continue;  // the operator kinds
    ++found;
    EXPECT_EQ(keywordKind(text), kind) << text;
  }
  EXPECT_EQ(found, 39);
  EXPECT_EQ(keywordKind("instanceof"), tok::End);
  EXPECT_EQ(keywordKind("Function"), tok::End);
  for (std::string_view w : {"breaks", "fo", "i", "nul", "ass", ""}) EXPECT_EQ(keywordKind(w), tok::End) << w;
}

struct RegExpCase {
  const char* source;  // after the opening slash
  const char* pattern;
  int flags;
  int next;  // the token after the literal
};

TEST(Lexer, RegularExpressionBodies) {
  const RegExpCase cases[] = {
      {"a\\/b/gi", "a\\/b", 3, tok::End},
      {"ab/x", "ab", 0, tok::Identifier},
      {"a/mgmi;", "a", 7, ';'},
      {"\\d+\\.\\1/", "\\d+\\.\\1", 0, tok::End},
      {"\\t\\n\\x41\\u0042\\0/", "\t\nAB", 0, tok::End},
      {"\\cA/", "\\cA", 0, tok::End},
      {"a\\\nb/", "ab", 0, tok::End},
  };
  for (const auto& c : cases) {
    auto in = ScriptStream::openText(c.source);
    auto messages = ScriptStream::openMemory();
    Diagnostics diag(*messages);
    Arena arena;
    Lexer lexer(*in, diag, arena, false);
    const RegExpLiteral r = lexer.readRegExp();
    std::string expected = c.pattern;
    if (std::string_view(c.source).find("\\0/") != std::string_view::npos) expected.push_back('\0');
    EXPECT_EQ(r.pattern.view(), expected) << c.source;
    EXPECT_EQ(r.flags, c.flags) << c.source;
    EXPECT_EQ(lexer.next().kind, c.next) << c.source;
  }
}

TEST(Lexer, RegularExpressionErrors) {
  for (const char* body : {"abc", "ab\\", "\\c", "\\x4", "\\u00"}) {
    auto in = ScriptStream::openText(body);
    auto messages = ScriptStream::openMemory();
    Diagnostics diag(*messages);
    Arena arena;
    Lexer lexer(*in, diag, arena, false);
    EXPECT_THROW(lexer.readRegExp(), CompileFailed) << body;
    EXPECT_EQ(messages->memory(), "error: line 0: unterminated regular expression constant\r\n") << body;
  }
}

} // namespace
} // namespace plumex::script::compiler
