#include "script/compiler/stack_check.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "script/compiler/module_format.h"

namespace plumex::script::compiler {

namespace {

// Bounds that keep the check linear in the code: states per instruction
// (the finally part of try statements nested in finally parts doubles
// them at each level), flags known per state, open try guards, and depth.
constexpr std::size_t kMaxStates = 32;
constexpr std::size_t kMaxKnown = 32;
constexpr std::size_t kMaxGuards = 1024;
constexpr std::int64_t kMaxDepth = std::int64_t{1} << 24;

// Values each instruction reads from the top of the stack (and so may
// replace); -1 where the operand decides. What it leaves is this plus its
// stack effect.
constexpr std::int8_t kVar = -1;
constexpr std::int8_t kReads[kLastOpcode - kFirstOpcode + 1] = {
    2, 0, 1, 1, 1, 1, 1, 0, 0, 0,  // CALLNAME GETNAME ADD2 INC JTRAW JFRAW THROW LEAVETRY TRY LEAVEWITH
    1, 1, 1, 0, 2, 1, 2, 1, 1, 2,  // WITH GETSLOT ADJUSTARGS RESERVE DELINDEX DELPROP NEW TYPEOF RETURN CALL
    0, 2, 1, 1, 2, 2, 2, 2, 2, 1,  // JMP CALLMETHOD JTRUE JFALSE USHR SHR SHL XOR OR NOT
    2, 1, 2, 2, 2, 2, 2, 2, 2, 2,  // AND NEG MOD DIV MUL ADD SUB STRICTNE STRICTEQ GE
    2, 2, 2, 2, 2, 2, 3, 2, 2, 1,  // LE GT LT NE EQ FORINNEXT SETINDEX GETINDEX SETPROP GETPROP
    1, 0, 1, 0, 1, 0, 0, 0, 0, 0,  // STLOCAL LDLOCAL STSLOT LDSLOT STGLOBAL LDGLOBAL PUSHINT PUSH3 PUSH2 PUSH1
    0, 0, 0, 0, 0, 0, kVar, 2, kVar, kVar,  // PUSH0 PUSHUNDEF PUSHFALSE PUSHTRUE PUSHNULL PUSHCONST ROT SWAP SLIDE POPN
    1, 1, 0, 1, 0, 1, 1, 1, 1, 1,  // POP DUP NOP END HALT SETNAME DELNAME DELGLOBAL DELLOCAL DELSLOT
    kVar,                          // SLIDEW
};

std::int64_t reads(const DecodedInstruction& d) {
  const std::int8_t n = kReads[static_cast<int>(d.op) - kFirstOpcode];
  if (n != kVar) return n;
  switch (d.op) {
  case Op::ROT: {
    const std::int64_t m = d.operand < 0 ? -d.operand : d.operand;
    return m >= 2 ? m : 0;
  }
  case Op::SLIDE:
  case Op::SLIDEW: return d.operand + 1;
  default: return d.operand;  // POPN
  }
}

struct Known {
  std::int64_t pos;
  bool value;
  bool operator==(const Known&) const = default;
};

// Open try guards form a tree shared by all states: a state names its
// newest guard, whose parent is the one below.
struct Guard {
  int parent;           // -1: none below
  std::size_t handler;  // instruction index
  std::int64_t depth;   // at the TRY
  std::size_t count;    // guards open with this one
};
constexpr int kNoGuard = -1;

// What one path knows at an instruction.
struct State {
  std::int64_t depth = 0;
  std::vector<Known> known;  // Boolean constants by position from the bottom, ascending
  int guards = kNoGuard;  // the newest open guard

  std::optional<bool> at(std::int64_t pos) const {
    for (const Known& k : known)
      if (k.pos == pos) return k.value;
    return std::nullopt;
  }
  int top() const {
    const auto v = at(depth - 1);
    return v ? *v : -1;
  }
  void forgetFrom(std::int64_t pos) {
    known.erase(std::remove_if(known.begin(), known.end(), [&](const Known& k) { return k.pos >= pos; }),
                known.end());
  }
  void forget(std::int64_t pos) {
    known.erase(std::remove_if(known.begin(), known.end(), [&](const Known& k) { return k.pos == pos; }),
                known.end());
  }
  void set(std::int64_t pos, std::optional<bool> v) {
    forget(pos);
    // When full, the flags pushed first stay known: those are the ones
    // that outer constructs dispatch on.
    if (!v || known.size() >= kMaxKnown) return;
    const auto at = std::find_if(known.begin(), known.end(), [&](const Known& k) { return k.pos > pos; });
    known.insert(at, Known{pos, *v});
  }
};

struct Rejected {
  std::string text;
  std::size_t offset;
};

std::string format(const char* fmt, long long a, long long b = 0) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, fmt, a, b);
  return buffer;
}

class Checker {
public:
  Checker(std::span<const std::uint8_t> code, bool isMain) : code_(code), isMain_(isMain) {}

  StackCheck run() {
    StackCheck result;
    try {
      decode();
      checkOperands();
      flow();
      result.maxStack = static_cast<std::uint32_t>(maxDepth_ + adjust_);
      result.frameSlots = frameSlots_;
      for (const auto& here : states_)
        for (const State& st : here)
          if (st.depth != here.front().depth) result.depthsAgree = false;
    } catch (const Rejected& r) {
      result.error = r.text;
      result.errorOffset = r.offset;
    }
    return result;
  }

private:
  [[noreturn]] void reject(std::size_t index, std::string text) const {
    throw Rejected{std::move(text), index < offsets_.size() ? offsets_[index] : code_.size()};
  }
  std::string name(std::size_t index) const { return mnemonic(instructions_[index].op); }

  void decode() {
    indexAt_.assign(code_.size() + 1, -1);
    for (std::size_t offset = 0; offset < code_.size();) {
      const auto d = decodeInstruction(code_, offset);
      if (!d) {
        if (isOpcode(code_[offset]))
          throw Rejected{"the operand runs past the end of the function", offset};
        throw Rejected{format("unknown opcode %lld", code_[offset]), offset};
      }
      if (d->op == Op::HALT) throw Rejected{"HALT is reserved", offset};
      indexAt_[offset] = static_cast<std::int32_t>(instructions_.size());
      instructions_.push_back(*d);
      offsets_.push_back(offset);
      offset += d->size;
    }
    indexAt_[code_.size()] = static_cast<std::int32_t>(instructions_.size());
    offsets_.push_back(code_.size());
  }

  bool is(std::size_t index, Op op, std::optional<std::int64_t> operand = std::nullopt) const {
    return index < instructions_.size() && instructions_[index].op == op &&
           (!operand || instructions_[index].operand == *operand);
  }

  void checkOperands() {
    if (!isMain_ && is(0, Op::LDSLOT, 1) && is(1, Op::ADD2) && is(2, Op::ADJUSTARGS)) {
      const std::int64_t n = instructions_[2].operand;
      if (n < 0) reject(2, "ADJUSTARGS with a negative count");
      prologue_ = 3;
      adjust_ = n;
      frameSlots_ = static_cast<int>(std::max<std::int64_t>(n, 2));
    }
    targets_.assign(instructions_.size(), 0);
    for (std::size_t i = 0; i < instructions_.size(); ++i) {
      const DecodedInstruction& d = instructions_[i];
      switch (d.op) {
      case Op::ADJUSTARGS:
        if (i != 2 || prologue_ == 0) reject(i, "ADJUSTARGS outside the prologue LDSLOT 1, ADD2, ADJUSTARGS");
        break;
      case Op::RESERVE:
      case Op::SLIDE:
      case Op::POPN:
      case Op::SLIDEW:
      case Op::LEAVETRY:
      case Op::LEAVEWITH:
        if (d.operand < 0) reject(i, name(i) + " with a negative count");
        break;
      case Op::LDSLOT:
      case Op::STSLOT:
      case Op::DELSLOT:
        if (d.operand < 0 || d.operand >= frameSlots_)
          reject(i, name(i) + format(" %lld: the frame has slots 0 to %lld", d.operand, frameSlots_ - 1));
        break;
      default: break;
      }
      if (d.operandClass != OperandClass::Jump) continue;
      const std::int64_t target = static_cast<std::int64_t>(offsets_[i] + d.size) + d.operand;
      if (target < 0 || target > static_cast<std::int64_t>(code_.size()))
        reject(i, format("jump target %lld is outside the function", target));
      const std::int32_t t = indexAt_[static_cast<std::size_t>(target)];
      if (t < 0) reject(i, format("jump target %lld is inside an instruction", target));
      if (static_cast<std::size_t>(t) < prologue_) reject(i, format("jump target %lld is in the prologue", target));
      targets_[i] = static_cast<std::size_t>(t);
    }
  }

  // Adds a state for an instruction. Each new state stays apart while the
  // instruction has room; beyond that it merges into one of the same depth
  // and guards (top flag too where possible), keeping what both know.
  void reach(std::size_t index, State s, std::size_t from) {
    if (s.depth > kMaxDepth) reject(from, "the stack grows too deep");
    maxDepth_ = std::max(maxDepth_, s.depth);
    auto& here = states_[index];
    for (const State& old : here)
      if (old.depth == s.depth && old.guards == s.guards && old.known == s.known) return;
    if (here.size() < kMaxStates) {
      here.push_back(std::move(s));
      work_.emplace_back(index, here.size() - 1);
      return;
    }
    std::size_t into = here.size();
    for (std::size_t k = 0; k < here.size(); ++k) {
      if (here[k].depth != s.depth || here[k].guards != s.guards) continue;
      if (into == here.size() || here[k].top() == s.top()) into = k;
    }
    if (into == here.size())
      reject(from, format("the paths into offset %lld differ in stack depth or open try guards",
                          static_cast<long long>(offsets_[index])));
    State& old = here[into];
    const std::size_t before = old.known.size();
    old.known.erase(std::remove_if(old.known.begin(), old.known.end(),
                                   [&](const Known& kn) { return s.at(kn.pos) != kn.value; }),
                    old.known.end());
    if (old.known.size() != before) work_.emplace_back(index, into);
  }

  std::size_t openGuards(int guard) const {
    return guard == kNoGuard ? 0 : guards_[static_cast<std::size_t>(guard)].count;
  }

  int openGuard(int parent, std::size_t handler, std::int64_t depth, std::size_t at) {
    const auto key = std::make_tuple(parent, handler, depth);
    if (const auto it = guardIndex_.find(key); it != guardIndex_.end()) return it->second;
    const std::size_t count = openGuards(parent) + 1;
    if (count > kMaxGuards) reject(at, "too many try guards open");
    guards_.push_back(Guard{parent, handler, depth, count});
    guardIndex_.emplace(key, static_cast<int>(guards_.size() - 1));
    return static_cast<int>(guards_.size() - 1);
  }

  void flow() {
    states_.assign(instructions_.size() + 1, {});
    reach(0, State{}, 0);
    while (!work_.empty()) {
      const auto [index, k] = work_.back();
      work_.pop_back();
      step(index, states_[index][k]);
    }
  }

  void step(std::size_t i, State s) {
    if (i == instructions_.size()) {
      // Falling off the end runs the END the loader appends.
      if (s.depth < 1) reject(i, "the code ends with nothing on the stack to return");
      if (s.guards != kNoGuard) reject(i, "the code ends with a try guard open");
      return;
    }
    const DecodedInstruction& d = instructions_[i];
    // Whatever this instruction raises goes to the newest guard, which
    // finds the values below its depth as they are now.
    if (s.guards != kNoGuard) {
      const Guard g = guards_[static_cast<std::size_t>(s.guards)];
      State h;
      h.depth = g.depth + 1;
      h.guards = g.parent;
      for (const Known& k : s.known)
        if (k.pos < std::min(s.depth, g.depth)) h.known.push_back(k);
      reach(g.handler, std::move(h), i);
    }

    const std::int64_t in = reads(d);
    if (s.depth < in)
      reject(i, name(i) + format(" needs %lld on the stack, finds %lld", in, s.depth));
    const std::int64_t out = in + stackEffect(d.op, d.operand);
    const std::int64_t base = s.depth - in;  // the lowest position the instruction touches
    const std::int64_t k = d.operand;

    switch (d.op) {
    case Op::LDLOCAL:
    case Op::STLOCAL:
    case Op::DELLOCAL:
      if (k < 0 || k >= base)
        reject(i, name(i) + format(" %lld: there are %lld local slots below", k, base));
      break;
    case Op::RETURN:
    case Op::END:
      if (s.guards != kNoGuard) reject(i, name(i) + " with a try guard open");
      return;
    case Op::THROW: return;
    default: break;
    }

    const std::optional<bool> top = s.depth > 0 ? s.at(s.depth - 1) : std::nullopt;
    State next = s;
    next.depth = base + out;
    switch (d.op) {
    case Op::PUSHTRUE:
    case Op::PUSHFALSE: next.set(s.depth, d.op == Op::PUSHTRUE); break;
    case Op::DUP: next.set(s.depth, top); break;
    case Op::SWAP:
      next.set(base, top);
      next.set(base + 1, s.at(base));
      break;
    case Op::ROT: {
      // n >= 2: the top moves down to depth n; n <= -2: depth -n comes up.
      std::vector<std::optional<bool>> window;
      for (std::int64_t p = base; p < s.depth; ++p) window.push_back(s.at(p));
      if (k >= 2) std::rotate(window.begin(), window.end() - 1, window.end());
      else if (k <= -2) std::rotate(window.begin(), window.begin() + 1, window.end());
      for (std::size_t p = 0; p < window.size(); ++p) next.set(base + static_cast<std::int64_t>(p), window[p]);
      break;
    }
    case Op::SLIDE:
    case Op::SLIDEW:
      next.forgetFrom(base);
      next.set(base, top);
      break;
    case Op::STLOCAL:
    case Op::DELLOCAL:
      next.forgetFrom(base);
      next.forget(k);
      break;
    case Op::TRY:
      next.guards = openGuard(s.guards, targets_[i], s.depth, i);
      break;
    case Op::LEAVETRY:
      if (static_cast<std::size_t>(k) > openGuards(s.guards))
        reject(i, format("LEAVETRY %lld with %lld try guards open", k, static_cast<long long>(openGuards(s.guards))));
      for (std::int64_t n = 0; n < k; ++n) next.guards = guards_[static_cast<std::size_t>(next.guards)].parent;
      break;
    default: next.forgetFrom(base); break;
    }

    const std::size_t fall = i + 1;
    switch (d.op) {
    case Op::JMP: reach(targets_[i], std::move(next), i); return;
    case Op::JTRAW:
    case Op::JTRUE:
    case Op::JFRAW:
    case Op::JFALSE: {
      const bool onTrue = d.op == Op::JTRAW || d.op == Op::JTRUE;
      // A known flag takes one edge only: this is what separates the
      // paths out of a finally part.
      if (!top || *top == onTrue) reach(targets_[i], next, i);
      if (!top || *top != onTrue) reach(fall, std::move(next), i);
      return;
    }
    default: reach(fall, std::move(next), i); return;
    }
  }

  std::span<const std::uint8_t> code_;
  bool isMain_;
  std::vector<DecodedInstruction> instructions_;
  std::vector<std::size_t> offsets_;      // per instruction, and the end
  std::vector<std::int32_t> indexAt_;     // instruction starting at each offset, or -1
  std::vector<std::size_t> targets_;      // jump target per instruction
  std::size_t prologue_ = 0;              // instructions in the prologue
  std::int64_t adjust_ = 0;
  int frameSlots_ = 2;
  std::vector<std::vector<State>> states_;
  std::vector<Guard> guards_;
  std::map<std::tuple<int, std::size_t, std::int64_t>, int> guardIndex_;
  std::vector<std::pair<std::size_t, std::size_t>> work_;
  std::int64_t maxDepth_ = 0;
};

} // namespace

StackCheck checkStack(std::span<const std::uint8_t> code, bool isMain) {
  return Checker(code, isMain).run();
}

} // namespace plumex::script::compiler
