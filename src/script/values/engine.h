#pragma once
// One script engine instance: value stack, atoms and globals, constant
// pool, per-kind classes, heap, error text, the result register and pinned
// values. Errors raised inside the engine are C++ exceptions caught by the
// protected entry that started the work.

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "script/values/atoms.h"
#include "script/values/heap.h"
#include "script/values/native_cell.h"
#include "script/values/value.h"

namespace plumex::script {

class ClassRecord;
class Engine;

struct EngineOptions {
  std::size_t stackValues = 4096;
  void* hostWord = nullptr;
  std::uint32_t flags = 0x58200;
};

// Thrown by raiseError; the text is in the engine's error buffer.
class ScriptError : public std::exception {
public:
  const char* what() const noexcept override { return "script runtime error"; }
};

// A pinned value is a collector root held by native code.
struct PinnedValue {
  Value value;
  PinnedValue* prev = nullptr;
  PinnedValue* next = nullptr;
};

// Entry routines of the virtual machine.
struct VmEntries {
  // Runs the Function of a call laid out on the value stack from thisSlot
  // upward (this, the Integer count, the arguments, the function) and
  // leaves its return value in the result register.
  void (*runFunction)(Engine& engine, Value* thisSlot) = nullptr;
  // The virtual machine's own state (hook, caches, saved code position).
  std::shared_ptr<void> state;
  // Makes the value of a regular-expression constant (flags: g 1, i 2,
  // m 4) when a module is loaded; set by the RegExp class.
  Value (*makeRegExp)(Engine& engine, std::u16string_view pattern, int flags) = nullptr;
  // Told by raiseError before it throws, so that the virtual machine notes
  // where the error arose.
  void (*noteRaise)(Engine& engine) = nullptr;
};

// Receives each warning and trace line as one line of text, without a
// line end.
using WarningSink = void (*)(void* data, std::string_view text);
// Told after each runtime warning (not after trace lines), while the code
// that warned is still the engine's current position.
using WarningNote = void (*)(void* data, Engine& engine);

// Call-frame headers on the value stack: four values, the first (highest)
// a FrameLink; the third holds the frame's with-list (a ValueList or null).
inline constexpr std::size_t kFrameHeaderValues = 4;
inline constexpr std::size_t kFrameWithListOffset = 2;
// Free values that must remain below the stack position.
inline constexpr std::size_t kStackReserve = 10;
// Texts in the error buffer keep at most this many bytes (a 1024-byte
// buffer with its terminator).
inline constexpr std::size_t kErrorTextLimit = 1023;

class Engine {
public:
  // Null when the system refuses memory.
  static std::unique_ptr<Engine> create(const EngineOptions& options = {});
  // Creates an engine and runs setup (the class registrations) as a
  // protected entry; null when either fails.
  static std::unique_ptr<Engine> create(const EngineOptions& options,
                                        const std::function<void(Engine&)>& setup);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  void* hostWord() const { return hostWord_; }
  std::uint32_t flags() const { return flags_; }

  Heap& heap() { return heap_; }
  const Heap& heap() const { return heap_; }

  // Names and globals. The global of atom n is the value slot n; slots
  // move when the table grows, so keep atoms, not references, across
  // interning.
  Atom intern(std::u16string_view name);
  Atom internAnsi(std::string_view name);
  const AtomTable& atoms() const { return atoms_; }
  const std::string& atomName(Atom atom) const { return atoms_.ansiName(atom); }
  Value& global(Atom atom) { return globals_[static_cast<std::size_t>(atom)]; }

  std::vector<Value>& constants() { return constants_; }
  ClassRecord*& classForKind(Kind k) { return classByKind_[static_cast<std::size_t>(k)]; }
  // Text that static strings may point at for the engine's lifetime.
  const char16_t* keepText(std::u16string_view text);

  // The result register: what a native hook or a call leaves behind.
  Value result;

  // Value stack, used from the top downward; the stack position is the
  // first free value.
  Value* stackBase() { return stack_.get(); }
  Value* stackTop() { return stack_.get() + stackSize_; }
  Value* stackPosition() const { return sp_; }
  void setStackPosition(Value* sp) { sp_ = sp; }
  // Raises "stack overflow" unless n more values leave the reserve free.
  void ensureStack(std::size_t n);
  void push(const Value& v) {
    ensureStack(1);
    *sp_-- = v;
  }

  // Errors and warnings.
  const std::string& errorText() const { return error_; }
  void setErrorText(std::string_view text);
  // Compile messages are kept whole, however long: the host reads every
  // diagnostic from here.
  void setCompileMessages(std::string text) { error_ = std::move(text); }
  void clearErrorText() { error_.clear(); }
  void setWarningSink(WarningSink sink, void* data) {
    warningSink_ = sink;
    warningData_ = data;
  }
  void setWarningNote(WarningNote note, void* data) {
    warningNote_ = note;
    warningNoteData_ = data;
  }
  // A line of the script's own trace output.
  void trace(std::string_view line) {
    if (warningSink_) warningSink_(warningData_, line);
  }
  void warn(std::string_view text);

  // Pinned values: roots until unpinned. Unpinning a Native closes it.
  PinnedValue* pinValue(const Value& v);
  void unpinValue(PinnedValue* pin);

  // Full collection from the engine's roots.
  void collectGarbage();
  // At a checkpoint: collects when the allocation since the last
  // collection reached the threshold.
  bool collectIfDue();
  // At the end of a run: collects only when a finaliser could run or the
  // threshold is reached.
  bool collectAtExit();

  VmEntries vm;
  // Numbers the functions the Function constructor makes.
  std::uint32_t anonymousFunctionCount = 0;
  // Arrays whose text is being built, so that a cycle ends.
  std::vector<const Cell*>& joinsInProgress() { return joins_; }
  int guardDepth() const { return guardDepth_; }

private:
  friend class ProtectedEntry;
  Engine(const EngineOptions& options);
  void markRoots(Tracer& t);
  void markStack(Tracer& t);

  void* hostWord_;
  std::uint32_t flags_;
  Heap heap_;
  Tracer tracer_;
  AtomTable atoms_;
  std::vector<Value> globals_;
  std::vector<Value> constants_;
  std::array<ClassRecord*, 16> classByKind_{};
  std::vector<std::unique_ptr<char16_t[]>> keptTexts_;
  std::unique_ptr<Value[]> stack_;
  std::size_t stackSize_;
  Value* sp_;
  std::string error_;
  WarningSink warningSink_ = nullptr;
  void* warningData_ = nullptr;
  WarningNote warningNote_ = nullptr;
  void* warningNoteData_ = nullptr;
  PinnedValue* pinnedHead_ = nullptr;
  PinnedValue* pinnedTail_ = nullptr;
  int guardDepth_ = 0;
  std::vector<const Cell*> joins_;
};

// Rewrites the error buffer as "Runtime error: %s" and returns to the
// newest protected entry.
[[noreturn]] void raiseError(Engine& engine);
[[noreturn]] void raiseError(Engine& engine, std::string_view message);

// What every protected entry does: clears the error text and the result
// on entry, and on every exit restores the stack position it found.
class ProtectedEntry {
public:
  explicit ProtectedEntry(Engine& e);
  ~ProtectedEntry();
  ProtectedEntry(const ProtectedEntry&) = delete;
  ProtectedEntry& operator=(const ProtectedEntry&) = delete;

private:
  Engine& engine_;
  Value* sp_;
  int depth_;
};

// Runs work as a protected entry; false when an error was raised (the text
// is then in the error buffer).
template <class Work>
bool runProtected(Engine& engine, Work&& work) {
  ProtectedEntry entry(engine);
  try {
    work();
    return true;
  } catch (const ScriptError&) {
    return false;
  } catch (const std::bad_alloc&) {
    engine.setErrorText("Runtime error: Out of memory");
    return false;
  } catch (const std::length_error&) {
    engine.setErrorText("Runtime error: Out of memory");
    return false;
  }
}

// Protected call of a Function, or of a Native whose class has a call
// hook. The callee's return value is then in the result register.
bool callValue(Engine& engine, const Value& thisValue, const Value& function,
               std::span<const Value> args);
// The same with the arguments as native hooks hold them.
inline bool callWithArgBlock(Engine& engine, const Value& thisValue, const Value& function,
                             ArgBlock args) {
  return callValue(engine, thisValue, function,
                   std::span<const Value>(args.values + 1, static_cast<std::size_t>(args.count())));
}

// RAII pin, for native code that keeps a value (an event handler, say)
// beyond the current call. Releasing a pinned Native closes it.
class Pin {
public:
  Pin() = default;
  Pin(Engine& e, const Value& v) : engine_(&e), pin_(e.pinValue(v)) {}
  ~Pin() { reset(); }
  Pin(Pin&& o) noexcept : engine_(o.engine_), pin_(o.pin_) { o.pin_ = nullptr; }
  Pin& operator=(Pin&& o) noexcept {
    if (this != &o) {
      reset();
      engine_ = o.engine_;
      pin_ = o.pin_;
      o.pin_ = nullptr;
    }
    return *this;
  }
  const Value& value() const { return pin_ ? pin_->value : empty_; }
  void set(const Value& v) {
    if (pin_) pin_->value = v;
  }
  void reset() {
    if (pin_) engine_->unpinValue(pin_);
    pin_ = nullptr;
  }

private:
  static constexpr Value empty_{};
  Engine* engine_ = nullptr;
  PinnedValue* pin_ = nullptr;
};

} // namespace plumex::script
