#pragma once
// The virtual machine's state kept with an engine, and the interpreter's
// entry points inside the vm library.

#include <array>
#include <cstdint>
#include <string>

#include "script/values/engine.h"
#include "script/vm/code_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::vm {

// Raised when the host hook asks to stop; no script try catches it.
class HookBreak : public ScriptError {};

struct VmState {
  HostHook hook = nullptr;
  void* hookData = nullptr;
  // Backward jumps left before the hook is asked again.
  std::uint32_t hookCountdown = kHookInterval;
  // Interpreter invocations running (host entries and native callbacks).
  int depth = 0;
  // The code position saved when native code is entered.
  const std::int32_t* pc = nullptr;
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

// Runs code as the outermost frame of an entry from the host. The call is
// laid out from thisSlot upward (this, the Integer count, the arguments,
// the function value); the return value goes to engine.result.
void execute(Engine& engine, CodeRecord& code, Value* thisSlot);

// The VmEntries routine: runs the Function laid out above thisSlot.
void runFunctionEntry(Engine& engine, Value* thisSlot);

// Asks the host hook (if any); raises HookBreak on a non-zero answer.
void askHostHook(Engine& engine, VmState& vm);

} // namespace plumex::script::vm
