#pragma once
// The lexer: source bytes (ANSI code page) to tokens, with one character of
// look-ahead through the stream's push back.

#include <cstdint>
#include <string>

#include "script/compiler/arena.h"
#include "script/compiler/diagnostics.h"
#include "script/compiler/script_stream.h"
#include "script/compiler/token.h"

namespace plumex::script::compiler {

// Flag bits of a regular-expression literal.
enum : int { kRegExpGlobal = 1, kRegExpIgnoreCase = 2, kRegExpMultiline = 4 };

struct RegExpLiteral {
  Text pattern;
  int flags = 0;
};

class Lexer {
public:
  Lexer(ScriptStream& source, Diagnostics& diagnostics, Arena& arena, bool strictStrings)
      : in_(source), diag_(diagnostics), arena_(arena), strictStrings_(strictStrings) {}

  Token next();
  // The body of a regular-expression literal, read after its opening '/'.
  RegExpLiteral readRegExp();

  ScriptStream& source() { return in_; }

private:
  bool accept(int c) {
    const int d = in_.read();
    if (d == c) return true;
    in_.pushBack(d);
    return false;
  }
  void skipBlockComment();
  void skipLineComment();
  Token identifier(int first, int line);
  Token stringLiteral(int quote, int line);
  Token characterConstant(int line);
  Token radixLiteral(int line);
  Token decimalLiteral(int first, int line);
  // Decodes the escape whose letter c follows a backslash, appending its
  // bytes to out.
  void escape(int c, const char* kind, std::string& out);
  [[noreturn]] void unterminated(const char* kind);

  ScriptStream& in_;
  Diagnostics& diag_;
  Arena& arena_;
  bool strictStrings_;
  std::string buf_;
};

} // namespace plumex::script::compiler
