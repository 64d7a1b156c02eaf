#pragma once
// The parser: one compilation's source to its syntax tree.

#include <memory>

#include "script/compiler/script_stream.h"
#include "script/compiler/syntax_tree.h"

namespace plumex::script::compiler {

// Compile option bits the front end reads.
inline constexpr unsigned kOptionWarnSemicolon = 1u << 20;   // warn on inserted semicolons
inline constexpr unsigned kOptionStrictStrings = 1u << 21;   // warn on line breaks in strings

// How deep statements and expressions may nest (each enclosing statement,
// operand and chained operator counts one level). Deeper sources are
// refused with an error, so that neither the parser nor anything that walks
// the tree runs out of stack on a 1 MiB main-thread stack.
inline constexpr int kMaxNesting = 1000;

// The tree, or null after an error. Diagnostics go to messages.
std::unique_ptr<SyntaxTree> parseProgram(ScriptStream& source, ScriptStream& messages,
                                         unsigned options);

} // namespace plumex::script::compiler
