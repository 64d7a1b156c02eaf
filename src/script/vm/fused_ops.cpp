#include "script/vm/fused_ops.h"


namespace plumex::script::vm {

namespace {

using compiler::Op;
using compiler::OperandClass;

constexpr std::int32_t slot(Op op) { return static_cast<std::int32_t>(op); }
constexpr std::int32_t slot(FusedOp op) { return static_cast<std::int32_t>(op); }

// The fused forms of one operator by operand source; kNone where there is
// none. Comparisons also have forms that take the JFRAW after them.
constexpr FusedOp kNone = static_cast<FusedOp>(0);
enum Source { Stack, Local, FrameSlot, Constant, TwoLocals, kSources };
struct Binary {
  Op op;
  FusedOp plain[kSources];
  FusedOp jumpIfFalse[kSources];
};
#define ARITH(op) {Op::op, {kNone, FusedOp::op##_LOCAL, FusedOp::op##_SLOT, FusedOp::op##_CONST, FusedOp::op##_LL}, {}}
#define COMPARE(op)                                                                                  \
  {Op::op,                                                                                           \
   {kNone, FusedOp::op##_LOCAL, FusedOp::op##_SLOT, FusedOp::op##_CONST, FusedOp::op##_LL},          \
   {FusedOp::op##_JF, FusedOp::op##_LOCAL_JF, FusedOp::op##_SLOT_JF, FusedOp::op##_CONST_JF, FusedOp::op##_LL_JF}}
#define EQUALITY(op) {Op::op, {}, {FusedOp::op##_JF, kNone, kNone, kNone, kNone}}
constexpr Binary kBinary[] = {
    ARITH(ADD), ARITH(SUB), ARITH(MUL),
    {Op::MOD, {kNone, kNone, kNone, FusedOp::MOD_CONST, kNone}, {}},
    COMPARE(LT), COMPARE(GT), COMPARE(LE), COMPARE(GE),
    EQUALITY(EQ), EQUALITY(NE), EQUALITY(STRICTEQ), EQUALITY(STRICTNE),
};
#undef ARITH
#undef COMPARE
#undef EQUALITY

const Binary* binaryOf(std::int32_t op) {
  for (const Binary& b : kBinary)
    if (slot(b.op) == op) return &b;
  return nullptr;
}

// The fused form of the operator at code[at] with its operands from
// `source`, taking a JFRAW after it when it can.
FusedOp binaryAt(const std::vector<std::int32_t>& code, std::size_t at, Source source) {
  const Binary* b = at < code.size() ? binaryOf(code[at]) : nullptr;
  if (!b) return kNone;
  if (at + 1 < code.size() && code[at + 1] == slot(Op::JFRAW) && b->jumpIfFalse[source] != kNone)
    return b->jumpIfFalse[source];
  return b->plain[source];
}

FusedOp fusedAt(const std::vector<std::int32_t>& code, std::size_t p) {
  auto at = [&](std::size_t k) { return p + k < code.size() ? code[p + k] : -1; };
  const std::int32_t op = code[p];
  if (op == slot(Op::LDSLOT) && at(1) == 1 && at(2) == slot(Op::ADD2) && at(3) == slot(Op::ADJUSTARGS))
    return FusedOp::PROLOGUE;
  if (op == slot(Op::LDLOCAL)) {
    if (at(2) == slot(Op::PUSH1) && at(3) == slot(Op::ADD) && at(4) == slot(Op::STLOCAL) && at(5) == at(1))
      return FusedOp::INCLOCAL;
    if (at(2) == slot(Op::LDLOCAL)) {
      const FusedOp both = binaryAt(code, p + 4, TwoLocals);
      return both != kNone ? both : FusedOp::LDLOCAL2;
    }
    return binaryAt(code, p + 2, Local);
  }
  if (op == slot(Op::LDSLOT)) return binaryAt(code, p + 2, FrameSlot);
  if (op == slot(Op::PUSHCONST)) return binaryAt(code, p + 2, Constant);
  return binaryAt(code, p, Stack);
}

// The opcode a fused slot stood for.
std::int32_t firstOf(std::int32_t fused) {
  switch (static_cast<FusedOp>(fused)) {
  case FusedOp::PROLOGUE: return slot(Op::LDSLOT);
  case FusedOp::INCLOCAL:
  case FusedOp::LDLOCAL2: return slot(Op::LDLOCAL);
  default: break;
  }
  constexpr Op kFirst[kSources] = {Op::NOP, Op::LDLOCAL, Op::LDSLOT, Op::PUSHCONST, Op::LDLOCAL};
  for (const Binary& b : kBinary)
    for (int source = 0; source < kSources; ++source)
      if (fused == slot(b.plain[source]) || fused == slot(b.jumpIfFalse[source]))
        return source == Stack ? slot(b.op) : slot(kFirst[source]);
  return fused;
}

bool hasOperand(std::int32_t op) {
  const compiler::OpInfo* info = compiler::opInfo(op);
  return info && info->operand != OperandClass::None;
}

} // namespace

void fuseInstructions(std::vector<std::int32_t>& code) {
  // Each run is matched against the code as loaded: runs look only
  // forward, and the slots ahead are not rewritten yet.
  for (std::size_t p = 0; p < code.size();) {
    const std::int32_t op = code[p];
    const FusedOp fused = fusedAt(code, p);
    if (fused != kNone) code[p] = slot(fused);
    p += hasOperand(op) ? 2 : 1;
  }
}

std::vector<std::int32_t> unfusedCode(const std::vector<std::int32_t>& code) {
  std::vector<std::int32_t> out = code;
  for (std::size_t p = 0; p < out.size();) {
    out[p] = firstOf(out[p]);
    p += hasOperand(out[p]) ? 2 : 1;
  }
  return out;
}

} // namespace plumex::script::vm
