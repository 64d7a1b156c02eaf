#pragma once
// The bytecode verifier: checks one function's encoded code before the
// engine accepts it, and works out how much value stack it can use, so
// that the virtual machine can make room once at entry and then never
// check pushes.
//
// What it accepts:
// - every byte belongs to an instruction of the set; an unknown opcode or
//   HALT rejects the function (rejected rather than skipped: a skipped
//   byte would shift every jump distance after it);
// - operands lie inside the function; counts (RESERVE, SLIDE, POPN,
//   SLIDEW, LEAVETRY, LEAVEWITH) are not negative;
// - jump targets are instruction boundaries inside the function or its
//   very end (the END the loader appends), and never inside the prologue;
// - on every path the stack depth, counted from 0 at entry, never drops
//   below what an instruction reads (calls and NEW read the count and the
//   callee; the arguments below are the virtual machine's business), and
//   the end of the code is reached with a value to return;
// - local slot k exists below the values an instruction reads; frame slot
//   k (LDSLOT, STSLOT, DELSLOT) is below the ADJUSTARGS operand of the
//   prologue LDSLOT 1, ADD2, ADJUSTARGS n, or below 2 (this and the count)
//   without one; ADJUSTARGS appears nowhere else, so it runs once with the
//   real argument count;
// - try guards nest: LEAVETRY never removes more than the function opened,
//   RETURN and END leave none open, a handler starts one value above the
//   depth at its TRY.
//
// Paths may reach one instruction with different depths: the finally part
// of a try statement is entered with a false flag on the normal path and
// with the exception and a true flag on the path that throws again, and
// the flag's jump after it separates them. The check follows the Boolean
// constants pushed by PUSHTRUE and PUSHFALSE, so that a conditional jump
// on a known flag takes only its taken edge, and keeps the states that
// reach one instruction apart (up to a bound; past it a state merges into
// one of the same depth and guards, keeping what both know). Code whose
// stack grows on each turn of a loop meets that bound and is rejected.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace plumex::script::compiler {

struct StackCheck {
  std::string error;            // empty when the code is accepted
  std::size_t errorOffset = 0;  // of the instruction at fault, from the function's start
  // The most values the function holds above its frame header (locals and
  // expression stack), plus the ADJUSTARGS operand when it has one (the
  // slots that instruction may insert).
  std::uint32_t maxStack = 0;
  // Frame slots the function may name: the ADJUSTARGS operand of the
  // prologue, at least 2.
  int frameSlots = 2;
  // Whether every instruction was reached with one depth only, as the
  // code generator's own output is: its tests can hold it to that.
  bool depthsAgree = true;

  bool ok() const { return error.empty(); }
};

// Checks the code of one function. ".main" (isMain) runs without
// arguments and has no prologue.
StackCheck checkStack(std::span<const std::uint8_t> code, bool isMain);

} // namespace plumex::script::compiler
