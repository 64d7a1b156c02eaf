#include "script/values/engine.h"

#include <algorithm>
#include <cstring>

#include "script/values/function_cell.h"
#include "script/values/native_cell.h"

namespace plumex::script {

namespace {
constexpr std::size_t kGlobalsStep = 1024;
}

std::unique_ptr<Engine> Engine::create(const EngineOptions& options) {
  try {
    return std::unique_ptr<Engine>(new Engine(options));
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

std::unique_ptr<Engine> Engine::create(const EngineOptions& options,
                                       const std::function<void(Engine&)>& setup) {
  auto engine = create(options);
  if (engine && !runProtected(*engine, [&] { setup(*engine); })) return nullptr;
  return engine;
}

Engine::Engine(const EngineOptions& options)
    : hostWord_(options.hostWord), flags_(options.flags),
      stack_(new Value[std::max<std::size_t>(options.stackValues, kStackReserve + 1)]),
      stackSize_(std::max<std::size_t>(options.stackValues, kStackReserve + 1)),
      sp_(stack_.get() + stackSize_ - 1) {
  globals_.resize(std::max(kGlobalsStep, atoms_.size()));
}

Engine::~Engine() {
  // Finalisers run while the engine is still whole.
  heap_.releaseAll();
  while (pinnedHead_) {
    PinnedValue* next = pinnedHead_->next;
    delete pinnedHead_;
    pinnedHead_ = next;
  }
}

Atom Engine::intern(std::u16string_view name) {
  const Atom atom = atoms_.intern(name);
  if (static_cast<std::size_t>(atom) >= globals_.size())
    globals_.resize(globals_.size() + kGlobalsStep);
  return atom;
}

Atom Engine::internAnsi(std::string_view name) {
  const Atom atom = atoms_.internAnsi(name);
  if (static_cast<std::size_t>(atom) >= globals_.size())
    globals_.resize(globals_.size() + kGlobalsStep);
  return atom;
}

const char16_t* Engine::keepText(std::u16string_view text) {
  auto copy = std::make_unique<char16_t[]>(text.size() + 1);
  std::copy(text.begin(), text.end(), copy.get());
  keptTexts_.push_back(std::move(copy));
  return keptTexts_.back().get();
}

void Engine::ensureStack(std::size_t n) {
  if (static_cast<std::size_t>(sp_ - stack_.get()) < n + kStackReserve)
    raiseError(*this, "stack overflow");
}

void Engine::setErrorText(std::string_view text) {
  error_.assign(text.substr(0, kErrorTextLimit));
}

void Engine::warn(std::string_view text) {
  trace(text);
  if (warningNote_) warningNote_(warningNoteData_, *this);
}

PinnedValue* Engine::pinValue(const Value& v) {
  auto* pin = new PinnedValue{v, pinnedTail_, nullptr};
  if (pinnedTail_) pinnedTail_->next = pin;
  else pinnedHead_ = pin;
  pinnedTail_ = pin;
  return pin;
}

void Engine::unpinValue(PinnedValue* pin) {
  if (!pin) return;
  (pin->prev ? pin->prev->next : pinnedHead_) = pin->next;
  (pin->next ? pin->next->prev : pinnedTail_) = pin->prev;
  if (pin->value.is(Kind::Native)) pin->value.asNative()->close(heap_);
  delete pin;
}

void Engine::markStack(Tracer& t) {
  // Downward from the top, so that a frame header is met at its first
  // (highest) value.
  Value* low = sp_ + 1;
  for (Value* p = stackTop() - 1; p >= low;) {
    if (p->is(Kind::FrameLink) && p - low >= static_cast<std::ptrdiff_t>(kFrameHeaderValues - 1)) {
      const Value& withList = *(p - kFrameWithListOffset);
      if (withList.is(Kind::FrameLink)) t.mark(static_cast<Cell*>(withList.u.p));
      p -= kFrameHeaderValues;
      continue;
    }
    t.mark(*p);
    --p;
  }
}

void Engine::markRoots(Tracer& t) {
  for (const Value& v : constants_) t.mark(v);
  for (const Value& v : globals_) t.mark(v);
  for (ClassRecord* c : classByKind_) t.mark(c);
  for (PinnedValue* p = pinnedHead_; p; p = p->next) t.mark(p->value);
  t.mark(result);
  markStack(t);
}

void Engine::collectGarbage() {
  try {
    markRoots(tracer_);
    tracer_.drain();
    heap_.sweep();
  } catch (...) {
    // A marked cell whose children were never traced would hide them
    // from the next collection. (A sweep fails only before it changes
    // anything.)
    tracer_.reset();
    heap_.clearMarks();
    throw;
  }
}

bool Engine::collectIfDue() {
  if (!heap_.collectionDue()) return false;
  collectGarbage();
  return true;
}

bool Engine::collectAtExit() {
  if (heap_.finalisable() == 0 && !heap_.collectionDue()) return false;
  collectGarbage();
  return true;
}

void raiseError(Engine& engine) {
  if (engine.vm.noteRaise) engine.vm.noteRaise(engine);
  std::string text = "Runtime error: ";
  text += engine.errorText();
  engine.setErrorText(text);
  throw ScriptError();
}

void raiseError(Engine& engine, std::string_view message) {
  engine.setErrorText(message);
  raiseError(engine);
}

ProtectedEntry::ProtectedEntry(Engine& e)
    : engine_(e), sp_(e.stackPosition()), depth_(e.guardDepth_++) {
  e.clearErrorText();
  e.result = Value::undefined();
}

ProtectedEntry::~ProtectedEntry() {
  engine_.setStackPosition(sp_);
  engine_.guardDepth_ = depth_;
}

bool callValue(Engine& engine, const Value& thisRef, const Value& functionRef,
               std::span<const Value> args) {
  // The entry clears the result register, which may be where the caller
  // keeps any of these.
  const Value thisValue = thisRef;
  const Value function = functionRef;
  const Value resultOnEntry = engine.result;
  const auto argument = [&](std::size_t i) -> const Value& {
    return &args[i] == &engine.result ? resultOnEntry : args[i];
  };
  const bool callable =
      (function.is(Kind::Function) && engine.vm.runFunction) ||
      (function.is(Kind::Native) && !function.asNative()->isClosed() &&
       function.asNative()->classRecord()->call);
  if (!callable) {
    engine.clearErrorText();
    engine.result = Value::undefined();
    engine.setErrorText("Warning: call a undefined function");
    return false;
  }
  if (engine.heap().finalizing()) {
    // A finaliser asked for script while dead cells are being released.
    engine.result = Value::undefined();
    engine.setErrorText("Runtime error: no script runs while objects are released");
    return false;
  }
  return runProtected(engine, [&] {
    // The call's values live on the value stack, where the collector sees
    // them: the function, the arguments last first, the count, this.
    engine.ensureStack(args.size() + 3);
    engine.push(function);
    for (std::size_t i = args.size(); i-- > 0;) engine.push(argument(i));
    engine.push(Value::integer(static_cast<std::int64_t>(args.size())));
    engine.push(thisValue);
    Value* thisSlot = engine.stackPosition() + 1;
    if (function.is(Kind::Function)) {
      engine.vm.runFunction(engine, thisSlot);
      return;
    }
    // The output slot is on the stack too, in case the hook runs script.
    engine.push(Value::undefined());
    Value* out = engine.stackPosition() + 1;
    NativeCell* cell = function.asNative();
    cell->classRecord()->call(engine, *cell->classRecord(), cell->instance(), *out,
                              ArgBlock{thisSlot + 1});
    engine.result = *out;
  });
}

} // namespace plumex::script
