#pragma once
// Instructions the loader fuses: a common run of instructions becomes one
// dispatch. Only the run's first opcode slot changes; its operands and the
// instructions after it stay as they were, so a jump into the middle of a
// run, and a fused instruction that meets values its fast path does not
// take (it then runs the run's first instruction as written), behave as
// the unfused code would.

#include <cstdint>
#include <vector>

#include "script/compiler/opcodes.h"

namespace plumex::script::vm {

enum class FusedOp : std::int32_t {
  // LDSLOT 1; ADD2; ADJUSTARGS n: a function's prologue.
  PROLOGUE = compiler::kLastOpcode + 1,
  // LDLOCAL k; PUSH1; ADD; STLOCAL k
  INCLOCAL,
  // LDLOCAL a; LDLOCAL b
  LDLOCAL2,
  // The arithmetic and comparison runs, OP one of ADD SUB MUL LT GT LE GE
  // (and MOD after PUSHCONST), by where the operands come from:
  //   OP_LOCAL   LDLOCAL k; OP            the right one from a local
  //   OP_SLOT    LDSLOT k; OP             from a frame slot
  //   OP_CONST   PUSHCONST c; OP          a constant
  //   OP_LL      LDLOCAL a; LDLOCAL b; OP both from locals
  // and a comparison followed by JFRAW, alone (OP_JF) or after one of
  // those (OP_LOCAL_JF, ...).
  ADD_LOCAL, SUB_LOCAL, MUL_LOCAL, LT_LOCAL, GT_LOCAL, LE_LOCAL, GE_LOCAL,
  ADD_SLOT, SUB_SLOT, MUL_SLOT, LT_SLOT, GT_SLOT, LE_SLOT, GE_SLOT,
  ADD_CONST, SUB_CONST, MUL_CONST, LT_CONST, GT_CONST, LE_CONST, GE_CONST, MOD_CONST,
  ADD_LL, SUB_LL, MUL_LL, LT_LL, GT_LL, LE_LL, GE_LL,
  LT_JF, GT_JF, LE_JF, GE_JF, EQ_JF, NE_JF, STRICTEQ_JF, STRICTNE_JF,
  LT_LOCAL_JF, GT_LOCAL_JF, LE_LOCAL_JF, GE_LOCAL_JF,
  LT_SLOT_JF, GT_SLOT_JF, LE_SLOT_JF, GE_SLOT_JF,
  LT_CONST_JF, GT_CONST_JF, LE_CONST_JF, GE_CONST_JF,
  LT_LL_JF, GT_LL_JF, LE_LL_JF, GE_LL_JF,
};

inline constexpr int kLastFusedOp = static_cast<int>(FusedOp::GE_LL_JF);

// Rewrites the first slot of every run it knows in loaded code (opcode
// slots each followed by their operand slot, if any).
void fuseInstructions(std::vector<std::int32_t>& code);

// The code as loaded, before fusion.
std::vector<std::int32_t> unfusedCode(const std::vector<std::int32_t>& code);

} // namespace plumex::script::vm
