#include "script/compiler/optimizer.h"

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <vector>

namespace plumex::script::compiler {

namespace {

bool is(const Instruction& i, Op op) { return i.op == static_cast<int>(op); }

bool isConditionalJump(const Instruction& i, bool whenTrue) {
  return whenTrue ? (is(i, Op::JTRUE) || is(i, Op::JTRAW)) : (is(i, Op::JFALSE) || is(i, Op::JFRAW));
}

bool isJumpInstruction(const Instruction& i) { return !i.isLabel() && isJump(i.opcode()); }

// Where the scan for a DUP's discarded copy stops: control flow, and
// instructions whose use of the stack the counter does not follow.
bool endsDupScan(const Instruction& i) {
  if (i.isLabel()) return true;
  switch (i.opcode()) {
  case Op::JTRAW: case Op::JFRAW: case Op::TRY: case Op::JMP: case Op::JTRUE: case Op::JFALSE:
  case Op::THROW: case Op::LEAVETRY: case Op::NEW: case Op::RETURN: case Op::CALL:
  case Op::CALLMETHOD: case Op::DUP: return true;
  default: return false;
  }
}

// How many values an instruction reorders in place, which must all lie
// above the duplicated value.
int reordered(const Instruction& i) {
  if (is(i, Op::SWAP)) return 2;
  if (is(i, Op::ROT)) return static_cast<int>(std::llabs(i.integer));
  return 0;
}

constexpr int kDupScanLimit = 256;

// True when the DUP at `at` has its copy discarded by a later POP with
// nothing in between reaching below it; `pop` is then that POP.
bool discardedDup(const InstructionList& code, std::size_t at, std::size_t& pop) {
  int depth = 2;
  for (std::size_t j = at + 1; j < code.size() && j <= at + kDupScanLimit; ++j) {
    const Instruction& i = code[j];
    if (is(i, Op::POP) && depth == 1) {
      pop = j;
      return true;
    }
    if (endsDupScan(i) || reordered(i) > depth) return false;
    depth += i.effect();
    if (depth <= 0) return false;
  }
  return false;
}

// Jump labels are numbered densely within a function: tables indexed by
// label number beat hash sets here.
struct LabelRange {
  std::int64_t first = 0;
  std::size_t size = 0;

  explicit LabelRange(const InstructionList& code) {
    std::int64_t low = 0, high = -1;
    for (const Instruction& i : code) {
      if (i.kind != OperandKind::Label) continue;
      if (high < low) {
        low = high = i.integer;
      } else {
        low = std::min(low, i.integer);
        high = std::max(high, i.integer);
      }
    }
    first = low;
    size = high < low ? 0 : static_cast<std::size_t>(high - low + 1);
  }
  std::size_t operator()(std::int64_t label) const { return static_cast<std::size_t>(label - first); }
};

void removeMarked(InstructionList& code, std::vector<bool>& removed) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < code.size(); ++i)
    if (!removed[i]) code[out++] = code[i];
  code.resize(out);
}

} // namespace

void peephole(InstructionList& code) {
  std::vector<bool> removed(code.size(), false);
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (removed[i]) continue;
    Instruction& ins = code[i];
    std::size_t next = i + 1;
    while (next < code.size() && removed[next]) ++next;
    if (is(ins, Op::DUP)) {
      std::size_t pop;
      if (discardedDup(code, i, pop) && !removed[pop]) removed[i] = removed[pop] = true;
      continue;
    }
    if (next >= code.size()) continue;
    Instruction& after = code[next];
    if (is(ins, Op::SLIDE) && is(after, Op::POP) && ins.integer < 127) {
      ins.op = static_cast<int>(Op::POPN);
      ++ins.integer;
      removed[next] = true;
    } else if (is(ins, Op::PUSHTRUE) || is(ins, Op::PUSHFALSE)) {
      const bool value = is(ins, Op::PUSHTRUE);
      if (isConditionalJump(after, !value)) {
        removed[i] = removed[next] = true;
      } else if (isConditionalJump(after, value)) {
        after.op = static_cast<int>(Op::JMP);
        removed[i] = true;
      }
    }
  }
  removeMarked(code, removed);
}

void threadJumps(InstructionList& code) {
  // For each label, the target of the JMP that follows it (past further
  // labels), if any.
  const LabelRange labels(code);
  std::vector<std::int64_t> forward(labels.size, 0);
  std::vector<bool> hasForward(labels.size, false);
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (!code[i].isJumpLabel()) continue;
    std::size_t j = i + 1;
    while (j < code.size() && code[j].isJumpLabel()) ++j;
    if (j < code.size() && is(code[j], Op::JMP)) {
      forward[labels(code[i].integer)] = code[j].integer;
      hasForward[labels(code[i].integer)] = true;
    }
  }
  for (Instruction& i : code) {
    if (!isJumpInstruction(i)) continue;
    // Follow the chain, stopping at a cycle.
    std::int64_t target = i.integer;
    for (std::size_t steps = 0; steps <= labels.size; ++steps) {
      if (!hasForward[labels(target)] || forward[labels(target)] == target) break;
      target = forward[labels(target)];
    }
    i.integer = target;
  }
}

namespace {

constexpr int kTrackedLocals = 32;

bool tracked(const Instruction& i) { return i.integer >= 0 && i.integer < kTrackedLocals; }

std::uint32_t bit(const Instruction& i) { return std::uint32_t{1} << i.integer; }

// Store-load elimination within one function: [begin, end).
void eliminateInFunction(InstructionList& code, std::size_t begin, std::size_t end,
                         std::vector<bool>& removed) {
  const LabelRange labels(code);
  std::vector<std::size_t> labelAt(labels.size, end);
  for (std::size_t i = begin; i < end; ++i)
    if (code[i].isJumpLabel()) labelAt[labels(code[i].integer)] = i;
  // liveIn[i]: locals read before being written from instruction i on.
  std::vector<std::uint32_t> liveIn(end - begin, 0);
  auto in = [&](std::size_t i) -> std::uint32_t& { return liveIn[i - begin]; };
  auto labelLive = [&](std::int64_t label) -> std::uint32_t {
    const std::size_t at = labelAt[labels(label)];
    return at == end ? 0 : in(at);
  };
  // A handler may run after any instruction of its try body; what any
  // handler reads is taken as read everywhere in the function.
  std::uint32_t handlerLive = 0;
  bool changed = true;
  while (changed) {
    changed = false;
    for (std::size_t i = end; i-- > begin;) {
      const Instruction& ins = code[i];
      std::uint32_t out = handlerLive;
      const bool fallsThrough = ins.isLabel() || !(is(ins, Op::JMP) || is(ins, Op::RETURN) ||
                                                   is(ins, Op::THROW) || is(ins, Op::END));
      if (fallsThrough && i + 1 < end) out |= in(i + 1);
      if (isJumpInstruction(ins)) out |= labelLive(ins.integer);
      std::uint32_t live = out;
      if (!ins.isLabel()) {
        if (is(ins, Op::STLOCAL) && tracked(ins)) live &= ~bit(ins);
        if ((is(ins, Op::LDLOCAL) || is(ins, Op::DELLOCAL)) && tracked(ins)) live |= bit(ins);
        if (is(ins, Op::TRY)) {
          const std::uint32_t h = handlerLive | labelLive(ins.integer);
          if (h != handlerLive) {
            handlerLive = h;
            changed = true;
          }
        }
      }
      if (live != in(i)) {
        in(i) = live;
        changed = true;
      }
    }
  }
  for (std::size_t i = begin; i + 1 < end; ++i) {
    const Instruction& store = code[i];
    const Instruction& load = code[i + 1];
    if (removed[i] || !is(store, Op::STLOCAL) || !is(load, Op::LDLOCAL) || !tracked(store) ||
        store.integer != load.integer)
      continue;
    const std::uint32_t after = (i + 2 < end ? in(i + 2) : 0) | handlerLive;
    if (after & bit(store)) continue;
    removed[i] = removed[i + 1] = true;
    ++i;
  }
}

} // namespace

void eliminateStoreLoads(InstructionList& code) {
  std::vector<bool> removed(code.size(), false);
  std::size_t begin = 0;
  while (begin < code.size()) {
    std::size_t end = begin + 1;
    while (end < code.size() && code[end].op != kFunctionLabel) ++end;
    eliminateInFunction(code, begin, end, removed);
    begin = end;
  }
  removeMarked(code, removed);
}

namespace {

bool deadCodePass(InstructionList& code) {
  std::vector<bool> removed(code.size(), false);
  bool changed = false;

  const LabelRange labels(code);
  std::vector<bool> referenced(labels.size, false);
  for (const Instruction& i : code)
    if (isJumpInstruction(i)) referenced[labels(i.integer)] = true;
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (code[i].isJumpLabel() && !referenced[labels(code[i].integer)]) removed[i] = changed = true;
  }

  for (std::size_t i = 0; i < code.size(); ++i) {
    const Instruction& ins = code[i];
    if (ins.isLabel()) continue;
    if (is(ins, Op::RETURN) || is(ins, Op::JMP)) {
      std::size_t j = i + 1;
      for (; j < code.size() && !code[j].isLabel(); ++j) removed[j] = changed = true;
      if (is(ins, Op::JMP)) {
        // A jump to a label among the ones directly after it goes nowhere.
        for (; j < code.size() && code[j].isJumpLabel(); ++j) {
          if (code[j].integer == ins.integer && !removed[j]) {
            removed[i] = changed = true;
            break;
          }
        }
      }
    }
  }
  if (changed) removeMarked(code, removed);
  return changed;
}

} // namespace

void removeDeadCode(InstructionList& code) {
  while (deadCodePass(code)) {
  }
}

// Function by function: each pass then works on a small list that stays
// in the cache, and dead code is searched again only where it was found.
void optimize(InstructionList& code) {
  InstructionList out;
  out.reserve(code.size());
  InstructionList function;
  std::size_t begin = 0;
  while (begin < code.size()) {
    std::size_t end = begin + 1;
    while (end < code.size() && code[end].op != kFunctionLabel) ++end;
    function.assign(code.begin() + static_cast<std::ptrdiff_t>(begin), code.begin() + static_cast<std::ptrdiff_t>(end));
    peephole(function);
    threadJumps(function);
    eliminateStoreLoads(function);
    removeDeadCode(function);
    out.insert(out.end(), function.begin(), function.end());
    begin = end;
  }
  code = std::move(out);
}

} // namespace plumex::script::compiler
