#pragma once
// The instruction set of compiled modules: opcode numbers, mnemonics,
// operand classes, encoded sizes and stack effects.

#include <cstdint>

namespace plumex::script::compiler {

enum class Op : std::uint8_t {
  CALLNAME = 33, GETNAME, ADD2, INC, JTRAW, JFRAW, THROW, LEAVETRY, TRY, LEAVEWITH,
  WITH, GETSLOT, ADJUSTARGS, RESERVE, DELINDEX, DELPROP, NEW, TYPEOF, RETURN, CALL,
  JMP, CALLMETHOD, JTRUE, JFALSE, USHR, SHR, SHL, XOR, OR, NOT,
  AND, NEG, MOD, DIV, MUL, ADD, SUB, STRICTNE, STRICTEQ, GE,
  LE, GT, LT, NE, EQ, FORINNEXT, SETINDEX, GETINDEX, SETPROP, GETPROP,
  STLOCAL, LDLOCAL, STSLOT, LDSLOT, STGLOBAL, LDGLOBAL, PUSHINT, PUSH3, PUSH2, PUSH1,
  PUSH0, PUSHUNDEF, PUSHFALSE, PUSHTRUE, PUSHNULL, PUSHCONST, ROT, SWAP, SLIDE, POPN,
  POP, DUP, NOP, END, HALT, SETNAME, DELNAME, DELGLOBAL, DELLOCAL, DELSLOT,
  SLIDEW,
};

inline constexpr int kFirstOpcode = 33;
inline constexpr int kLastOpcode = 113;

enum class OperandClass : std::uint8_t {
  None,   // no operand
  Name,   // 4 bytes: index of a Name constant
  Const,  // 4 bytes: index of any constant
  Jump,   // 4 bytes, signed: distance from the end of the instruction
  Byte,   // 1 byte, signed
  Short,  // 2 bytes, signed
  Int,    // 4 bytes, signed
};

struct OpInfo {
  const char* mnemonic;
  OperandClass operand;
  // Change in stack depth; for RESERVE, SLIDE, POPN and SLIDEW it depends
  // on the operand (stackEffect()).
  std::int8_t effect;
};

bool isOpcode(int op);
// Null for numbers outside the instruction set.
const OpInfo* opInfo(int op);
inline const OpInfo& opInfo(Op op) { return *opInfo(static_cast<int>(op)); }
const char* mnemonic(Op op);

// Bytes of an operand of this class, and of a whole instruction.
int operandSize(OperandClass c);
inline int instructionSize(Op op) { return 1 + operandSize(opInfo(op).operand); }

// The change in stack depth the instruction makes, given its operand.
// RETURN, THROW and END count their popped value; a call or NEW counts the
// values it adds above its arguments.
int stackEffect(Op op, std::int64_t operand);

inline bool isJump(Op op) { return opInfo(op).operand == OperandClass::Jump; }

} // namespace plumex::script::compiler
