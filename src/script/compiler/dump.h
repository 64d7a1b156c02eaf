#pragma once
// Readable, stable listings of the token stream and of the syntax tree,
// for quorvc --tokens / --ast, tests, and people debugging scripts.

#include <string>

#include "script/compiler/script_stream.h"
#include "script/compiler/syntax_tree.h"
#include "script/compiler/token.h"

namespace plumex::script::compiler {

// "LINE KIND NAME [VALUE]", e.g. "   3  129 integer 42".
std::string formatToken(const Token& token);
// Indented nodes, children two spaces deeper; lists that the tree links in
// reverse are shown in source order.
std::string formatSyntaxTree(const SyntaxTree& tree);
// A text between double quotes with C escapes; bytes outside printable
// ASCII as \xHH.
std::string quoteText(std::string_view text);

struct DumpResult {
  bool ok = false;
  std::string output;    // what was listed, up to an error for tokens
  std::string messages;  // the compile messages, "\r\n"-ended lines
};

DumpResult dumpTokens(ScriptStream& source, unsigned options);
DumpResult dumpSyntaxTree(ScriptStream& source, unsigned options);

} // namespace plumex::script::compiler
