// Where a runtime error arose: noted as code positions when it is raised
// (cheap, as errors caught by scripts are common), told as names and lines
// only when a host asks.

#include <algorithm>

#include "script/values/function_cell.h"
#include "script/values/heap.h"
#include "script/vm/engine_interface.h"
#include "script/vm/vm_state.h"

namespace plumex::script::vm {
namespace {

// Frames walked from (pc, fp) to the invocation's outermost one. The
// positions may be stale (an error raised before the running invocation
// saved its registers): every link is checked to lie on the value stack,
// each further out than the last, so a walk never leaves it.
void walk(Engine& engine, const std::int32_t* pc, const Value* fp, std::vector<VmState::RaisedFrame>& out) {
  const Value* const low = engine.stackBase() + (-kReturnSlot);
  const Value* const high = engine.stackTop();
  while (pc && fp && fp >= low && fp < high) {
    out.push_back({pc, fp, {}});
    const Value& link = fp[0];
    const Value& back = fp[kReturnSlot];
    if (!link.is(Kind::FrameLink) || !back.is(Kind::FrameLink)) return;
    const auto* caller = static_cast<const Value*>(link.u.p);
    if (caller <= fp) return;
    pc = static_cast<const std::int32_t*>(back.u.p);
    fp = caller;
  }
}

// The name of the native code an outer invocation called: the method's,
// or that of a global holding the callee.
std::string nativeName(Engine& engine, const VmState::Outer& outer) {
  if (outer.nativeMethod >= 0) return engine.atomName(outer.nativeMethod);
  if (outer.nativeCallee.refersToHeap()) {
    for (Atom a = 0; a < static_cast<Atom>(engine.atoms().size()); ++a) {
      const Value& g = engine.global(a);
      if (g.kind == outer.nativeCallee.kind && g.u.p == outer.nativeCallee.u.p) return engine.atomName(a);
    }
  }
  return "?";
}

// Every invocation's frames from the current position outwards, with the
// native code that started each inner one between them.
void walkAll(Engine& engine, const VmState& vm, std::vector<VmState::RaisedFrame>& out) {
  walk(engine, vm.pc, vm.fp, out);
  for (auto outer = vm.outers.rbegin(); outer != vm.outers.rend(); ++outer) {
    out.push_back({nullptr, nullptr, nativeName(engine, *outer)});
    walk(engine, outer->pc, outer->fp, out);
  }
}

// The code of every function the heap holds, by where it lies. Code is
// made only by loads and freed only by collections: between them the index
// stays right, so a host asking at every warning does not scan the heap
// each time.
const std::vector<const CodeRecord*>& codeIndex(Engine& engine) {
  VmState& vm = vmState(engine);
  const std::uint64_t collections = engine.heap().stats().collections;
  if (vm.codeIndexCollections == collections && vm.codeIndexLoads == vm.codeLoads) return vm.codeIndex;
  std::vector<const CodeRecord*>& codes = vm.codeIndex;
  codes.clear();
  engine.heap().forEachCell([&](Cell* cell) {
    if (const auto* code = dynamic_cast<const CodeRecord*>(cell); code && !code->code.empty()) codes.push_back(code);
  });
  std::sort(codes.begin(), codes.end(),
            [](const CodeRecord* a, const CodeRecord* b) { return a->code.data() < b->code.data(); });
  vm.codeIndexCollections = collections;
  vm.codeIndexLoads = vm.codeLoads;
  return codes;
}

// The first `most` noted positions as functions, sources and lines.
std::vector<StackFrame> resolve(Engine& engine, const std::vector<VmState::RaisedFrame>& noted,
                                std::size_t most = SIZE_MAX) {
  const std::vector<const CodeRecord*>& codes = codeIndex(engine);

  std::vector<StackFrame> frames;
  for (const VmState::RaisedFrame& raised : noted) {
    if (frames.size() == most) break;
    StackFrame f;
    if (!raised.pc) {
      f.function = raised.native;
      f.native = true;
      frames.push_back(std::move(f));
      continue;
    }
    const auto after = std::upper_bound(codes.begin(), codes.end(), raised.pc,
                                        [](const std::int32_t* pc, const CodeRecord* c) { return pc < c->code.data(); });
    if (after != codes.begin()) {
      const CodeRecord* code = *(after - 1);
      if (std::less_equal<>()(raised.pc, code->code.data() + code->code.size())) {
        f.function = code->name;
        f.source = code->sourceName;
        const auto slot = static_cast<std::uint32_t>(raised.pc - code->code.data());
        for (const LinePair& pair : code->lines) {
          if (pair.slot > slot) break;
          // The compiler counts lines from 0.
          f.line = pair.line + 1;
        }
      }
    }
    frames.push_back(std::move(f));
  }
  return frames;
}

} // namespace

void noteRaise(Engine& engine) {
  VmState& vm = vmState(engine);
  // Native code passing on the failure of script it called raises again
  // where the note has its caller: the note stays, deeper frames and all.
  for (const VmState::RaisedFrame& f : vm.raised)
    if (f.pc && f.pc == vm.pc && f.fp == vm.fp) return;
  vm.raised.clear();
  walkAll(engine, vm, vm.raised);
}

std::vector<StackFrame> errorStack(Engine& engine) { return resolve(engine, vmState(engine).raised); }

std::vector<StackFrame> currentStack(Engine& engine, std::size_t most) {
  VmState& vm = vmState(engine);
  std::vector<VmState::RaisedFrame> noted;
  walkAll(engine, vm, noted);
  return resolve(engine, noted, most);
}

std::string formatStack(const std::vector<StackFrame>& frames, std::size_t keep) {
  std::string text;
  const auto line = [&](const StackFrame& f) {
    text += "    at " + f.function;
    if (f.native) text += " (native)";
    else text += " (" + f.source + ":" + (f.line > 0 ? std::to_string(f.line) : std::string("?")) + ")";
    text += '\n';
  };
  if (frames.size() <= 2 * keep) {
    for (const StackFrame& f : frames) line(f);
    return text;
  }
  for (std::size_t i = 0; i < keep; ++i) line(frames[i]);
  text += "    ... " + std::to_string(frames.size() - 2 * keep) + " more frames ...\n";
  for (std::size_t i = frames.size() - keep; i < frames.size(); ++i) line(frames[i]);
  return text;
}

} // namespace plumex::script::vm
