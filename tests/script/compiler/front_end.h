#pragma once
// Runs the lexer or parser over a source text for tests.

#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/dump.h"
#include "script/compiler/parser.h"

namespace plumex::script::compiler::testing {

struct Lexed {
  std::vector<std::string> tokens;  // "kind value", end of input left out
  std::vector<int> lines;
  std::string messages;             // "\r\n" turned into "\n"
};

inline std::string plainLines(std::string_view messages) {
  std::string out;
  for (char c : messages)
    if (c != '\r') out += c;
  return out;
}

inline Lexed lex(std::string_view source, unsigned options = 0) {
  auto in = ScriptStream::openText(source);
  const DumpResult r = dumpTokens(*in, options);
  Lexed out;
  out.messages = plainLines(r.messages);
  std::size_t pos = 0;
  while (pos < r.output.size()) {
    const std::size_t eol = r.output.find('\n', pos);
    const std::string line = r.output.substr(pos, eol - pos);
    pos = eol + 1;
    // "LINE KIND NAME [VALUE]"
    const int lineNo = std::stoi(line.substr(0, 4));
    std::string rest = line.substr(10);
    if (rest == "end of input") break;
    out.tokens.push_back(rest);
    out.lines.push_back(lineNo);
  }
  return out;
}

struct Parsed {
  bool ok = false;
  std::string tree;      // formatSyntaxTree
  std::string messages;  // "\r\n" turned into "\n"
};

inline Parsed parse(std::string_view source, unsigned options = 0) {
  auto in = ScriptStream::openText(source);
  const DumpResult r = dumpSyntaxTree(*in, options);
  return {r.ok, r.output, plainLines(r.messages)};
}

} // namespace plumex::script::compiler::testing
