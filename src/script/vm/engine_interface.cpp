#include "script/vm/engine_interface.h"

#include <algorithm>
#include <cctype>

#include "platform/ansi_text.h"
#include "binding/class_binding.h"
#include "platform/files.h"
#include "script/compiler/compile_driver.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"
#include "script/vm/module_loader.h"
#include "script/vm/property_access.h"
#include "script/vm/vm_state.h"

namespace plumex::script::vm {

namespace {

using compiler::ModuleImage;

// The compile options the engine's flags ask for.
unsigned compileOptions(const Engine& engine) {
  const std::uint32_t f = engine.flags();
  unsigned options = 0;
  if (f & 0x10) options |= compiler::kOptionRewindSource;
  if (f & 0x20) options |= compiler::kOptionLineTable;
  if (f & 0x1000) options |= compiler::kOptionWarnSemicolon;
  if (f & 0x2000) options |= compiler::kOptionStrictStrings;
  return options;
}

// Loads an image and runs its ".main", inside the caller's protected entry.
void loadAndRun(Engine& engine, ModuleImage& image) {
  engine.clearErrorText();
  CodeRecord* main = loadModuleRaising(engine, image);
  engine.result = Value::undefined();
  if (!main) return;
  // The host-entry layout: the function (which keeps the code record
  // alive), no arguments, `this` Null.
  engine.ensureStack(3);
  engine.push(Value::function(newFunction(engine, main)));
  engine.push(Value::integer(0));
  engine.push(Value::null());
  execute(engine, *main, engine.stackPosition() + 1);
}

bool runImage(Engine& engine, std::optional<ModuleImage> image) {
  if (!image) return false;
  return runProtected(engine, [&] { loadAndRun(engine, *image); });
}

// A compilation's messages are kept for the host before the run clears
// the error buffer; those of text compiled while a script runs (eval, the
// Function constructor) do not replace the host's.
bool runCompiled(Engine& engine, std::optional<ModuleImage> image) {
  VmState& vm = vmState(engine);
  if (vm.depth == 0) vm.compileMessages = engine.errorText();
  return runImage(engine, std::move(image));
}

bool endsWithIgnoringCase(const std::string& s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// "eval" and "evals": natives with only a call hook.
void evalCall(Engine& engine, ClassRecord&, void*, Value& result, ArgBlock args) {
  result = Value::undefined();
  if (args.count() < 1) return;
  const Value x = args[0];
  if (!x.is(Kind::String)) {
    result = x;
    return;
  }
  if (runText(engine, toAnsi(x))) result = engine.result;
}

void evalsCall(Engine& engine, ClassRecord&, void*, Value& result, ArgBlock args) {
  result = Value::undefined();
  if (args.count() < 1 || !args[0].is(Kind::String)) return;
  if (runSourceFile(engine, toAnsi(args[0]))) result = engine.result;
}

} // namespace

std::unique_ptr<Engine> createEngine(const EngineSetup& setup) {
  return Engine::create(setup.options, [&](Engine& engine) {
    engine.vm.runFunction = runFunctionEntry;
    engine.vm.noteRaise = noteRaise;
    VmState& vm = vmState(engine);
    vm.hook = setup.hook;
    vm.hookData = setup.hookData;
    binding::registerFunction(engine, "eval", evalCall);
    binding::registerFunction(engine, "evals", evalsCall);
    if (setup.registerClasses) setup.registerClasses(engine);
  });
}

const std::string& lastCompileMessages(Engine& engine) { return vmState(engine).compileMessages; }

bool runText(Engine& engine, std::string_view text) {
  return runCompiled(engine, compiler::compileText(engine, text, compileOptions(engine)));
}

bool runSourceFile(Engine& engine, const std::string& path) {
  return runCompiled(engine, compiler::compileFile(engine, path, compileOptions(engine)));
}

bool runCompiledFile(Engine& engine, const std::string& path) {
  auto image = ModuleImage::readFile(path);
  if (!image) {
    engine.setErrorText(fileExists(path) ? "not a compiled module: " + path : "can't open the module file: " + path);
    return false;
  }
  return runImage(engine, std::move(image));
}

bool runModule(Engine& engine, const void* data, std::size_t size) {
  auto image = ModuleImage::read(data, size);
  if (!image) {
    engine.setErrorText("not a compiled module");
    return false;
  }
  return runImage(engine, std::move(image));
}

bool runFile(Engine& engine, const std::string& path) {
  if (endsWithIgnoringCase(path, ".qsc")) return runCompiledFile(engine, path);
  if (endsWithIgnoringCase(path, ".qvs")) return runSourceFile(engine, path);
  // Anything else by its content: the module magic (after an optional "#"
  // line), or source text.
  InputFile in;
  if (!in.open(path)) return runSourceFile(engine, path);
  char head[512];
  const std::size_t got = in.read(head, sizeof head);
  std::size_t at = 0;
  if (got > 0 && head[0] == '#') {
    while (at < got && head[at] != '\n') ++at;
    if (at == got) return runSourceFile(engine, path);
    ++at;
  }
  const bool module = got >= at + 4 && std::string_view(head + at, 4) == "QS1b";
  return module ? runCompiledFile(engine, path) : runSourceFile(engine, path);
}

bool callFunction(Engine& engine, std::string_view name, ArgBlock args) {
  const Value f = engine.global(engine.internAnsi(name));
  return callFunction(engine, f, args);
}

bool callFunction(Engine& engine, const Value& function, ArgBlock args) {
  return callWithArgBlock(engine, Value::null(), function, args);
}

bool callMethod(Engine& engine, const Value& objectRef, std::string_view method, ArgBlock args) {
  const Value object = objectRef;
  const Atom name = engine.internAnsi(method);
  if (object.is(Kind::Object)) {
    Value f;
    if (object.asObject()->get(name, f) && f.is(Kind::Function)) return callWithArgBlock(engine, object, f, args);
  }
  bool handled = false;
  const bool ok = runProtected(engine, [&] {
    ClassRecord* cls = classOf(engine, object);
    if (!cls || !cls->method) return;
    engine.push(object);
    Value* receiver = engine.stackPosition() + 1;
    engine.push(Value::undefined());
    Value* out = engine.stackPosition() + 1;
    void* self = object.is(Kind::Native) ? object.asNative()->instance() : static_cast<void*>(receiver);
    handled = cls->method(engine, *cls, self, name, *out, args);
    if (handled) engine.result = *out;
  });
  if (ok && !handled) {
    engine.setErrorText("Warning: unknown method \"" + engine.atomName(name) + "\"");
    return false;
  }
  return ok;
}

bool construct(Engine& engine, std::string_view className, ArgBlock args) {
  const Value c = engine.global(engine.internAnsi(className));
  return runProtected(engine, [&] {
    if (!c.is(Kind::Native) || !c.asNative()->classRecord()->construct) {
      raiseError(engine, "invalid constructor");
    }
    engine.push(Value::undefined());
    Value* out = engine.stackPosition() + 1;
    ClassRecord& cls = *c.asNative()->classRecord();
    cls.construct(engine, cls, args, *out);
    engine.result = *out;
  });
}

CodeLocation currentLocation(Engine& engine) {
  CodeLocation where;
  const std::int32_t* pc = vmState(engine).pc;
  if (!pc) return where;
  const CodeRecord* found = nullptr;
  auto consider = [&](const Value& v) {
    if (found || !v.is(Kind::Function)) return;
    const auto* code = static_cast<const CodeRecord*>(v.asFunction()->code());
    if (code && pc >= code->code.data() && pc < code->code.data() + code->code.size()) found = code;
  };
  for (Value* p = engine.stackPosition() + 1; p < engine.stackTop() && !found; ++p) consider(*p);
  for (Atom a = 0; a < static_cast<Atom>(engine.atoms().size()) && !found; ++a) consider(engine.global(a));
  if (!found) return where;
  where.function = found->name;
  where.source = found->sourceName;
  const auto slot = static_cast<std::uint32_t>(pc - found->code.data());
  for (const LinePair& pair : found->lines) {
    if (pair.slot > slot) break;
    where.line = pair.line;
  }
  return where;
}

} // namespace plumex::script::vm
