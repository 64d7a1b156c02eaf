#pragma once
// The code generator's output: one record per instruction in emission
// order, with two pseudo-instructions that mark where a function starts
// and where a jump may land. The optimisation passes rewrite this list and
// the module writer encodes it.

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/compiler/opcodes.h"

namespace plumex::script::compiler {

// Pseudo-opcodes: a function label (text: the function's internal name)
// and a jump label (integer: the label number).
inline constexpr int kFunctionLabel = 1000;
inline constexpr int kJumpLabel = 1001;

enum class OperandKind : std::uint8_t {
  None,
  Integer,  // byte, short and int operands; PUSHCONST of an Integer
  Text,     // name operands; PUSHCONST of a String (8-bit text)
  Float,    // PUSHCONST of a Float
  RegExp,   // PUSHCONST of a regular expression (text: pattern)
  Label,    // jump operands and jump labels (integer: label number)
};

struct Instruction {
  int op = 0;  // an Op value, kFunctionLabel or kJumpLabel
  int line = 0;
  OperandKind kind = OperandKind::None;
  std::int64_t integer = 0;
  double number = 0;
  // Texts point into the compilation's syntax tree or at literals, which
  // outlive the instruction list.
  std::string_view text;
  int regexpFlags = 0;  // g 1, i 2, m 4

  bool isLabel() const { return op >= kFunctionLabel; }
  bool isJumpLabel() const { return op == kJumpLabel; }
  Op opcode() const { return static_cast<Op>(op); }
  // Encoded bytes (0 for labels).
  int size() const { return isLabel() ? 0 : instructionSize(opcode()); }
  // Change in stack depth (0 for labels).
  int effect() const { return isLabel() ? 0 : stackEffect(opcode(), integer); }
};

using InstructionList = std::vector<Instruction>;

} // namespace plumex::script::compiler
