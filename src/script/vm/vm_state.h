#pragma once
// The virtual machine's state kept with an engine, and the interpreter's
// entry points inside the vm library.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "script/values/engine.h"
#include "script/vm/code_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::vm {

// Raised when the host hook asks to stop; no script try catches it.
class HookBreak : public ScriptError {};

// Header slots below a frame pointer: the caller's frame is at fp[0].
constexpr int kInfoSlot = -1;
constexpr int kWithSlot = -2;
constexpr int kReturnSlot = -3;

struct VmState {
  HostHook hook = nullptr;
  void* hookData = nullptr;
  // Backward jumps left before the hook is asked again.
  std::uint32_t hookCountdown = kHookInterval;
  // Interpreter invocations running (host entries and native callbacks).
  int depth = 0;
  // The code position and frame saved when native code is entered.
  const std::int32_t* pc = nullptr;
  const Value* fp = nullptr;
  // The native code the running script called last: a method by its name,
  // or a callable native value.
  Atom nativeMethod = -1;
  Value nativeCallee;
  // The interpreter invocations beneath the running one (script that
  // native code called), innermost last: where each was when it called
  // the native code.
  struct Outer {
    const std::int32_t* pc;
    const Value* fp;
    Atom nativeMethod;
    Value nativeCallee;
  };
  std::vector<Outer> outers;
  // Where the latest runtime error arose, innermost first: the code
  // position of each script frame, or (pc null) the name of native code
  // between them. Positions are only compared with code, never read.
  struct RaisedFrame {
    const std::int32_t* pc;
    const Value* fp;
    std::string native;
  };
  std::vector<RaisedFrame> raised;
  // Every function's code sorted by where it lies, for telling positions
  // as lines: made again after a collection or a load changed the code.
  std::vector<const CodeRecord*> codeIndex;
  std::uint64_t codeIndexCollections = ~std::uint64_t{0};
  std::uint64_t codeIndexLoads = ~std::uint64_t{0};
  std::uint64_t codeLoads = 0;
  // The messages of the latest compilation, warnings included.
  std::string compileMessages;

  // Where a property read or write at a given code position last found its
  // name in an object's own table: usually the same slot next time, as
  // objects made by one constructor store their fields in one order.
  struct PropertyHint {
    const std::int32_t* pc = nullptr;
    std::uint32_t slot = 0;
  };
  static constexpr std::size_t kHints = 2048;
  std::array<PropertyHint, kHints> hints{};

  static constexpr std::uint32_t kHookInterval = 1u << 16;
  // Interpreter invocations that may be running inside each other.
  static constexpr int kMaxNesting = 100;
};

VmState& vmState(Engine& engine);

// raiseError's note: the frames of the running script, through every
// interpreter invocation beneath it, as positions.
void noteRaise(Engine& engine);

// Runs code as the outermost frame of an entry from the host. The call is
// laid out from thisSlot upward (this, the Integer count, the arguments,
// the function value); the return value goes to engine.result.
void execute(Engine& engine, CodeRecord& code, Value* thisSlot);

// The VmEntries routine: runs the Function laid out above thisSlot.
void runFunctionEntry(Engine& engine, Value* thisSlot);

// Asks the host hook (if any); raises HookBreak on a non-zero answer.
void askHostHook(Engine& engine, VmState& vm);

} // namespace plumex::script::vm
