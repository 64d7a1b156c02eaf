#pragma once
// What hosts use of a script engine: creating one with every class
// registered, running source text, files and compiled modules, calling
// script functions and methods, constructing objects by class name, and
// finding where the code being run came from. Every entry is protected:
// it fails with false and leaves the text in the engine's error buffer;
// results are read from engine.result.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/values/engine.h"

namespace plumex::script::vm {

// Called as hook(2, data) after each collection the virtual machine runs
// while executing, and on backward jumps now and then; a non-zero answer n
// stops the running entry with "hook break n", which no script try
// catches.
using HostHook = int (*)(int event, void* data);

struct EngineSetup {
  EngineOptions options;
  HostHook hook = nullptr;
  void* hookData = nullptr;
  // Registers the classes, in the engine's registration order, inside the
  // creation's protected entry (see registerClasses for the built-ins).
  std::function<void(Engine&)> registerClasses;
};

// The engine with the virtual machine's entries, "eval" and "evals", and
// the classes; null when any step fails.
std::unique_ptr<Engine> createEngine(const EngineSetup& setup = {});

// Compile (with the options the engine's flags give) and run; the value of
// ".main" is left in engine.result. A compilation that fails leaves its
// messages in the error buffer; those of every compilation, warnings
// included, stay readable through lastCompileMessages.
bool runText(Engine& engine, std::string_view text);
const std::string& lastCompileMessages(Engine& engine);
bool runSourceFile(Engine& engine, const std::string& path);
bool runCompiledFile(Engine& engine, const std::string& path);
bool runModule(Engine& engine, const void* data, std::size_t size);
// ".qsc" and ".qvs" by their extension (any case); other files by their
// content: the module magic, after an optional "#" first line, or source.
bool runFile(Engine& engine, const std::string& path);

// Calls the global function of that name (or the given value) with `this`
// Null. A Native answers through its class's call hook. Anything else
// fails with "Warning: call a undefined function".
bool callFunction(Engine& engine, std::string_view name, ArgBlock args);
bool callFunction(Engine& engine, const Value& function, ArgBlock args);
// Calls a method of an object: a Native's method hook, an Object's own
// Function property, or the method hook of the value's kind. Fails with
// "Warning: unknown method \"NAME\"".
bool callMethod(Engine& engine, const Value& object, std::string_view method, ArgBlock args);
// `new` on the class object held by the global of that name.
bool construct(Engine& engine, std::string_view className, ArgBlock args);

// Where the code being run came from: the function holding the current
// code position (".main" when none does), its source name and line.
struct CodeLocation {
  std::string function = ".main";
  std::string source = "unknown";
  int line = 0;
};
CodeLocation currentLocation(Engine& engine);

// The call stack where the latest runtime error arose, innermost first:
// script frames with their function, source and line (0 where the module
// has no line table), and native code between them by name. Read it after
// an entry failed, before the engine runs script again.
struct StackFrame {
  std::string function = "?";
  std::string source = "?";
  int line = 0;
  bool native = false;
};
std::vector<StackFrame> errorStack(Engine& engine);
// The call stack where the engine is now (inside a native call or a
// warning), in the same form: its innermost `most` frames.
std::vector<StackFrame> currentStack(Engine& engine, std::size_t most = SIZE_MAX);
// The frames as "    at NAME (FILE:LINE)" or "    at NAME (native)" lines;
// past 2 * keep frames, the first and last `keep` with a count between.
std::string formatStack(const std::vector<StackFrame>& frames, std::size_t keep = 10);

} // namespace plumex::script::vm
