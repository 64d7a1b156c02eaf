#include "script/compiler/lexer.h"

#include "script/compiler/keywords.h"

namespace plumex::script::compiler {
namespace {

bool isIdentifierStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$' || c == '_';
}
bool isIdentifierPart(int c) { return isIdentifierStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

Token simple(int kind, int line) {
  Token t;
  t.kind = kind;
  t.line = line;
  return t;
}

} // namespace

Token Lexer::next() {
  for (;;) {
    const int c = in_.read();
    if (c == 0) return simple(tok::End, in_.line);
    if (c == '\n') {
      ++in_.line;
      continue;
    }
    if (c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == ' ') continue;
    const int line = in_.line;
    switch (c) {
      case '/':
        if (accept('*')) {
          skipBlockComment();
          continue;
        }
        if (accept('/')) {
          skipLineComment();
          continue;
        }
        return simple(accept('=') ? tok::DivAssign : '/', line);
      case '#':
        if (accept('!')) {
          skipLineComment();
          continue;
        }
        if (accept('\'')) return characterConstant(line);
        return simple('#', line);
      case '"':
      case '\'':
        return stringLiteral(c, line);
      case '=':
        if (!accept('=')) return simple('=', line);
        return simple(accept('=') ? tok::StrictEq : tok::Eq, line);
      case '!':
        if (!accept('=')) return simple('!', line);
        return simple(accept('=') ? tok::StrictNe : tok::Ne, line);
      case '<':
        if (accept('=')) return simple(tok::Le, line);
        if (!accept('<')) return simple('<', line);
        return simple(accept('=') ? tok::ShlAssign : tok::Shl, line);
      case '>':
        if (accept('=')) return simple(tok::Ge, line);
        if (!accept('>')) return simple('>', line);
        if (accept('=')) return simple(tok::ShrAssign, line);
        if (!accept('>')) return simple(tok::Shr, line);
        return simple(accept('=') ? tok::UShrAssign : tok::UShr, line);
      case '&':
        if (accept('&')) return simple(tok::AndAnd, line);
        return simple(accept('=') ? tok::AndAssign : '&', line);
      case '|':
        if (accept('|')) return simple(tok::OrOr, line);
        return simple(accept('=') ? tok::OrAssign : '|', line);
      case '+':
        if (accept('+')) return simple(tok::PlusPlus, line);
        return simple(accept('=') ? tok::AddAssign : '+', line);
      case '-':
        if (accept('-')) return simple(tok::MinusMinus, line);
        return simple(accept('=') ? tok::SubAssign : '-', line);
      case '*':
        return simple(accept('=') ? tok::MulAssign : '*', line);
      case '%':
        return simple(accept('=') ? tok::ModAssign : '%', line);
      case '^':
        return simple(accept('=') ? tok::XorAssign : '^', line);
      case '0': {
        const int d = in_.peek();
        if (d != '.' && d != 'e' && d != 'E') return radixLiteral(line);
        return decimalLiteral(c, line);
      }
      case '.':
        if (isDigit(in_.peek())) return decimalLiteral(c, line);
        return simple('.', line);
      default:
        break;
    }
    if (isIdentifierStart(c)) return identifier(c, line);
    if (isDigit(c)) return decimalLiteral(c, line);
    return simple(static_cast<signed char>(c), line);
  }
}

void Lexer::skipBlockComment() {
  // An unterminated comment simply ends the input.
  for (;;) {
    const int c = in_.read();
    if (c == 0) return;
    if (c == '\n') {
      ++in_.line;
    } else if (c == '*' && accept('/')) {
      return;
    }
  }
}

void Lexer::skipLineComment() {
  for (;;) {
    const int c = in_.read();
    if (c == '\n' || c == 0) {
      in_.pushBack(c);
      return;
    }
  }
}

Token Lexer::identifier(int first, int line) {
  buf_.clear();
  int c = first;
  do {
    buf_.push_back(static_cast<char>(c));
    c = in_.read();
  } while (isIdentifierPart(c));
  in_.pushBack(c);
  Token t = simple(keywordKind(buf_), line);
  if (t.kind == tok::End) {
    t.kind = tok::Identifier;
    t.text = arena_.copy(buf_);
  }
  return t;
}

} // namespace plumex::script::compiler
