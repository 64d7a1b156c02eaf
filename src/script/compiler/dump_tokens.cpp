#include <charconv>
#include <cstdio>

#include "script/compiler/dump.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"

namespace plumex::script::compiler {

std::string quoteText(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

std::string formatToken(const Token& t) {
  char head[32];
  std::snprintf(head, sizeof head, "%4d %4d ", t.line, t.kind);
  std::string out = head;
  out += tokenKindName(t.kind);
  switch (t.kind) {
    case tok::Integer:
      out += ' ';
      out += std::to_string(t.integer);
      break;
    case tok::Number: {
      char buf[64];
      const auto r = std::to_chars(buf, buf + sizeof buf, t.number);
      out += ' ';
      out.append(buf, r.ptr);
      break;
    }
    case tok::String:
      out += ' ';
      out += quoteText(t.text.view());
      break;
    case tok::Identifier:
      out += ' ';
      out += t.text.view();
      break;
    default:
      break;
  }
  return out;
}

DumpResult dumpTokens(ScriptStream& source, unsigned options) {
  DumpResult r;
  auto messages = ScriptStream::openMemory();
  Diagnostics diag(*messages);
  Arena arena;
  Lexer lexer(source, diag, arena, (options & kOptionStrictStrings) != 0);
  try {
    for (;;) {
      const Token t = lexer.next();
      r.output += formatToken(t);
      r.output += '\n';
      if (t.kind == tok::End) break;
    }
    r.ok = true;
  } catch (const CompileFailed&) {
  }
  r.messages = std::string(messages->memory());
  return r;
}

DumpResult dumpSyntaxTree(ScriptStream& source, unsigned options) {
  DumpResult r;
  auto messages = ScriptStream::openMemory();
  if (auto tree = parseProgram(source, *messages, options)) {
    r.ok = true;
    r.output = formatSyntaxTree(*tree);
  }
  r.messages = std::string(messages->memory());
  return r;
}

} // namespace plumex::script::compiler
