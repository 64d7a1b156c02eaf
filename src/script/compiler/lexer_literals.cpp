// String literals, escapes, character constants, numbers and the bodies of
// regular-expression literals.

#include <string>

#include "platform/ansi_text.h"
#include "script/compiler/lexer.h"
#include "script/values/number_text.h"

namespace plumex::script::compiler {
namespace {

int hexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
bool isOctal(int c) { return c >= '0' && c <= '7'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

Token integerToken(std::int64_t v, int line) {
  Token t;
  t.kind = tok::Integer;
  t.line = line;
  t.integer = v;
  return t;
}

} // namespace

void Lexer::unterminated(const char* kind) {
  diag_.error(in_.line, "unterminated %s constant", kind);
}

void Lexer::escape(int c, const char* kind, std::string& out) {
  switch (c) {
    case 'n': out.push_back('\n'); return;
    case 't': out.push_back('\t'); return;
    case 'v': out.push_back('\v'); return;
    case 'b': out.push_back('\b'); return;
    case 'r': out.push_back('\r'); return;
    case 'f': out.push_back('\f'); return;
    case 'a': out.push_back('\a'); return;
    case '\\': case '?': case '\'': case '"':
      out.push_back(static_cast<char>(c));
      return;
    case 'x': {
      const int a = in_.read();
      const int b = in_.read();
      if (a == 0 || b == 0) unterminated(kind);
      if (hexDigit(a) < 0 || hexDigit(b) < 0) diag_.error(in_.line, "illegal character '%s%c%c'", "\\x", a, b);
      out.push_back(static_cast<char>(hexDigit(a) * 16 + hexDigit(b)));
      return;
    }
    case 'u': {
      int d[4];
      for (int& x : d) x = in_.read();
      for (int x : d)
        if (x == 0) unterminated(kind);
      for (int x : d)
        if (hexDigit(x) < 0)
          diag_.error(in_.line, "illegal unicode character '%s%c%c%c%c'", "\\u", d[0], d[1], d[2], d[3]);
      // The character in the code page the source is written in (what the
      // module writer turns back into UTF-16); '?' when it has none there.
      char16_t unit = 0;
      for (int x : d) unit = static_cast<char16_t>(unit * 16 + hexDigit(x));
      if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
      } else {
        out += utf16ToAnsi(std::u16string_view(&unit, 1));
      }
      return;
    }
    case 0:
      unterminated(kind);
    default:
      break;
  }
  if (isOctal(c)) {
    // A leading 0 does not count towards the three digits.
    int value = c - '0';
    int digits = c == '0' ? 0 : 1;
    for (;;) {
      const int d = in_.read();
      if (digits >= 3 || !isOctal(d)) {
        in_.pushBack(d);
        break;
      }
      value = value * 8 + (d - '0');
      ++digits;
    }
    out.push_back(static_cast<char>(value & 0xFF));
    return;
  }
  if (c == '\n') ++in_.line;
  diag_.warning(in_.line, "unknown escape sequence '%c%c'", '\\', c);
  out.push_back(static_cast<char>(c));
}

Token Lexer::stringLiteral(int quote, int line) {
  buf_.clear();
  bool warned = false;
  for (;;) {
    const int c = in_.read();
    if (c == quote) break;
    if (c == 0) unterminated("string");
    if (c == '\n') {
      ++in_.line;
      if (strictStrings_ && !warned) {
        diag_.warning(in_.line, "ECMAScript don't allow line terminators in %s constants", "string");
        warned = true;
      }
      buf_.push_back('\n');
    } else if (c == '\\') {
      const int d = in_.read();
      if (d == '\n') {
        ++in_.line;  // a line continuation
      } else {
        escape(d, "string", buf_);
      }
    } else {
      buf_.push_back(static_cast<char>(c));
    }
  }
  Token t;
  t.kind = tok::String;
  t.line = line;
  t.text = arena_.copy(buf_);
  return t;
}

Token Lexer::characterConstant(int line) {
  int c = in_.read();
  if (c == '\n') ++in_.line;
  if (c == '\\') {
    buf_.clear();
    escape(in_.read(), "character", buf_);
    // A \u character without a one-byte form cannot be one character.
    if (buf_.size() != 1) diag_.error(in_.line, "illegal character");
    c = static_cast<unsigned char>(buf_[0]);
  }
  if (in_.read() != '\'') diag_.error(in_.line, "illegal character");
  return integerToken(static_cast<signed char>(c), line);
}

Token Lexer::radixLiteral(int line) {
  std::uint64_t value = 0;
  int c = in_.read();
  if (c == 'x' || c == 'X') {
    for (c = in_.read(); hexDigit(c) >= 0; c = in_.read()) value = value * 16 + static_cast<unsigned>(hexDigit(c));
  } else {
    for (; isOctal(c); c = in_.read()) value = value * 8 + static_cast<unsigned>(c - '0');
  }
  in_.pushBack(c);
  return integerToken(static_cast<std::int64_t>(value), line);
}

Token Lexer::decimalLiteral(int first, int line) {
  buf_.assign(1, static_cast<char>(first));
  bool floating = first == '.';
  auto digits = [&] {
    int c = in_.read();
    for (; isDigit(c); c = in_.read()) buf_.push_back(static_cast<char>(c));
    return c;
  };
  int c = digits();
  if (!floating && c == '.') {
    floating = true;
    buf_.push_back('.');
    c = digits();
  }
  if (c == 'e' || c == 'E') {
    floating = true;
    buf_.push_back(static_cast<char>(c));
    c = in_.read();
    if (c == '+' || c == '-') {
      buf_.push_back(static_cast<char>(c));
      c = in_.read();
    }
    if (!isDigit(c)) diag_.error(in_.line, "invalid exponent part in a decimal literal");
    buf_.push_back(static_cast<char>(c));
    c = digits();
  }
  in_.pushBack(c);

  if (!floating) {
    std::uint64_t value = 0;
    bool fits = true;
    for (char d : buf_) {
      const auto digit = static_cast<std::uint64_t>(d - '0');
      if (value > (static_cast<std::uint64_t>(INT64_MAX) - digit) / 10) {
        fits = false;
        break;
      }
      value = value * 10 + digit;
    }
    if (fits) return integerToken(static_cast<std::int64_t>(value), line);
  }
  const std::u16string text(buf_.begin(), buf_.end());
  Token t;
  t.kind = tok::Number;
  t.line = line;
  t.number = scanDecimalFloat(text).value;
  return t;
}

RegExpLiteral Lexer::readRegExp() {
  buf_.clear();
  for (;;) {
    const int c = in_.read();
    if (c == '/') break;
    if (c == 0) unterminated("regular expression");
    if (c == '\n') {
      ++in_.line;
      buf_.push_back('\n');
      continue;
    }
    if (c != '\\') {
      buf_.push_back(static_cast<char>(c));
      continue;
    }
    const int d = in_.read();
    switch (d) {
      case '\n': ++in_.line; break;  // a line continuation
      case 0: unterminated("regular expression");
      case 'f': buf_.push_back('\f'); break;
      case 'n': buf_.push_back('\n'); break;
      case 'r': buf_.push_back('\r'); break;
      case 't': buf_.push_back('\t'); break;
      case 'v': buf_.push_back('\v'); break;
      case 'u': case 'x': case '0':
        escape(d, "regular expression", buf_);
        break;
      case 'c': {
        const int e = in_.read();
        if (e == 0) unterminated("regular expression");
        if (e == '\n') ++in_.line;
        buf_ += "\\c";
        buf_.push_back(static_cast<char>(e));
        break;
      }
      default:
        buf_.push_back('\\');
        buf_.push_back(static_cast<char>(d));
        break;
    }
  }
  RegExpLiteral r;
  for (;;) {
    const int c = in_.read();
    if (c == 'g') r.flags |= kRegExpGlobal;
    else if (c == 'i') r.flags |= kRegExpIgnoreCase;
    else if (c == 'm') r.flags |= kRegExpMultiline;
    else {
      in_.pushBack(c);
      break;
    }
  }
  r.pattern = arena_.copy(buf_);
  return r;
}

} // namespace plumex::script::compiler
