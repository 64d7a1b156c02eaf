#pragma once
// The code generator: a finished syntax tree to the instruction list of
// every function of the compilation, then ".main".

#include "script/compiler/diagnostics.h"
#include "script/compiler/instruction.h"
#include "script/compiler/syntax_tree.h"

namespace plumex::script::compiler {

// Errors ("invalid break", ...) go through diagnostics and end the
// compilation with CompileFailed.
InstructionList generateCode(const SyntaxTree& tree, Diagnostics& diagnostics);

// Limits of the encoding: frame slot operands are one signed byte (slots 0
// and 1 are `this` and the count), local slot operands a signed short.
inline constexpr int kMaxParameters = 125;
inline constexpr int kMaxLocals = 32767;

} // namespace plumex::script::compiler
