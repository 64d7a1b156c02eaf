// Dll: registers DLL functions as script globals and reads native memory
// at a script's address, guarded. Failures give false or Undefined, and
// their explanation goes to the context's sink only.

#include <algorithm>
#include <cstdio>
#include <variant>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/dll/dll_classes.h"
#include "hostlib/dll/dll_param_class.h"
#include "hostlib/dll/dll_state.h"
#include "hostlib/dll/imported_function.h"
#include "hostlib/streams/string_stream.h"
#include "hostlib/structs/native_memory.h"
#include "hostlib/structs/native_structs.h"
#include "platform/ansi_text.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::dll {
namespace {

using binding::Args;
using script::Engine;
using script::Kind;
using script::Value;

enum Member { kRegisterFunction, kUnregisterFunction, kGetPointerValue, kGetPointerStringValue,
              kGetPointerWideStringValue };
constexpr std::string_view kMembers[] = {"registerFunction", "unregisterFunction", "getPointerValue",
                                         "getPointerStringValue", "getPointerWideStringValue"};

// Texts are read a page at a time, up to the end of readable memory.
constexpr std::size_t kTextChunk = 4096;

std::string hexAddress(std::uint32_t address) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(address));
  return hex;
}

// A parameter or result type: a built-in name, a structure named by a
// global (with "*" for a pointer to one), or a DllParam. Nothing for
// anything else.
std::optional<ParamDescriptor> typeOf(Engine& e, const Value& v) {
  if (const ParamDescriptor* p = dllParamOf(v)) return *p;
  if (!v.is(Kind::String)) return std::nullopt;
  const std::u16string_view text = v.asString()->view();
  const std::string ansi = script::toAnsi(v);
  if (auto builtin = builtinParamType(ansi)) return builtin;
  const bool pointer = !text.empty() && text.back() == u'*';
  const std::u16string_view name = pointer ? text.substr(0, text.size() - 1) : text;
  const auto layout = structs::namedLayout(e, name);
  if (!layout) return std::nullopt;
  return ParamDescriptor{pointer, ParamKind::Structure, layout->size, std::u16string(name), ansi};
}

std::string typeText(const Value& v) {
  return v.is(Kind::String) ? "\"" + script::toAnsi(v) + "\"" : "(" + describeKind(v) + ")";
}

// registerFunction(dllName, procName [, scriptName [, callType [,
// returnType [, parameterType...]]]]).
bool registerFunction(Engine& e, DllState& state, const Args& args) {
  const auto explain = [&](const std::string& line) {
    state.context->explanations.report(line);
    return false;
  };
  if (args.size() < 2) return explain("registerFunction: a DLL and a function name are needed");
  for (std::size_t i = 0; i < 4 && i < args.size(); ++i)
    if (!args[i].is(Kind::String))
      return explain("registerFunction: argument " + std::to_string(i + 1) + " must be a String, not " +
                     describeKind(args[i]));
  const Value scriptName = args.has(2) ? args[2] : args[1];
  auto fn = std::make_unique<ImportedFunction>();
  fn->context = state.context;
  FunctionSignature& sig = fn->signature;
  sig.name = script::toAnsi(scriptName);
  if (args.has(4)) {
    auto result = typeOf(e, args[4]);
    if (!result) return explain(sig.name + ": unknown type " + typeText(args[4]) + " for the result");
    sig.result = std::move(*result);
  } else {
    sig.result.typeName = "void";
  }
  for (std::size_t i = 5; i < args.size(); ++i) {
    auto p = typeOf(e, args[i]);
    const std::string which = "parameter " + std::to_string(i - 4);
    if (!p) return explain(sig.name + ": unknown type " + typeText(args[i]) + " for " + which);
    if (p->kind == ParamKind::Void) return explain(sig.name + ": " + which + " is void");
    sig.params.push_back(std::move(*p));
  }
  sig.flags = callFlags(args.has(3) ? script::toAnsi(args[3]) : std::string(), sig.result);
  if (sig.argumentArea() > kMaxArgumentBytes)
    return explain(sig.name + ": the arguments take " + std::to_string(sig.argumentArea()) + " bytes, more than " +
                   std::to_string(kMaxArgumentBytes));

  const std::string dllName = script::toAnsi(args[0]);
  const std::string procName = script::toAnsi(args[1]);
  auto resolved = state.context->modules.resolve(dllName, procName);
  if (const auto* failure = std::get_if<LoadFailure>(&resolved)) {
    if (*failure == LoadFailure::DllNotFound) return explain(sig.name + ": DLL \"" + dllName + "\" not found");
    return explain(sig.name + ": function \"" + procName + "\" not found in \"" + dllName + "\"");
  }
  auto& found = std::get<ResolvedFunction>(resolved);
  fn->module = std::move(found.module);
  fn->procedure = found.procedure;
  const script::Atom atom = e.intern(scriptName.asString()->view());
  const Value installed = binding::newInstance(e, *state.functionClass, std::move(fn));
  e.global(atom) = installed;
  return true;
}

void unregisterFunction(Engine& e, const Args& args) {
  const Value* name = args.ofKind(0, Kind::String);
  if (!name) return;
  const script::Atom atom = e.intern(name->asString()->view());
  if (isImportedFunction(e.global(atom))) e.global(atom) = Value::undefined();
}

Value getPointerValue(Engine& e, const Args& args) {
  const auto address = args.integer(0);
  const auto size = args.integer(1);
  if (!address || !size) {
    explainFailure(e, "getPointerValue: the address and the size must be Integers");
    return Value::undefined();
  }
  if (*size <= 0 || *size > 0xFFFFFFFF) {
    explainFailure(e, "getPointerValue: size " + std::to_string(*size) + " is not positive");
    return Value::undefined();
  }
  const auto at = static_cast<std::uint32_t>(*address);
  auto bytes = structs::copyNativeMemory(at, static_cast<std::size_t>(*size));
  if (!bytes) {
    explainFailure(e, "getPointerValue: " + std::to_string(*size) + " bytes at " + hexAddress(at) +
                          " are not readable");
    return Value::undefined();
  }
  return streams::makeStringStream(e, std::move(*bytes));
}

// The bytes of a text of `unit`-byte characters at the address, up to its
// terminator or the end of readable memory; nothing when its first unit
// cannot be read.
std::optional<std::vector<std::uint8_t>> readText(std::uint32_t address, std::size_t unit) {
  std::vector<std::uint8_t> bytes;
  for (std::uint64_t at = address; at <= 0xFFFFFFFFu;) {
    const std::size_t readable = structs::readableLength(static_cast<std::uintptr_t>(at), kTextChunk);
    const auto chunk = structs::copyNativeMemory(static_cast<std::uintptr_t>(at), readable);
    if (!chunk) break;
    for (std::size_t i = 0; i < chunk->size(); ++i) {
      bytes.push_back((*chunk)[i]);
      if (bytes.size() % unit == 0 &&
          std::all_of(bytes.end() - static_cast<std::ptrdiff_t>(unit), bytes.end(), [](std::uint8_t b) { return b == 0; })) {
        bytes.resize(bytes.size() - unit);
        return bytes;
      }
    }
    if (readable < kTextChunk) break;
    at += readable;
  }
  if (bytes.size() < unit) return std::nullopt;
  bytes.resize(bytes.size() / unit * unit);
  return bytes;
}

Value getPointerText(Engine& e, const Args& args, bool wide) {
  const char* method = wide ? "getPointerWideStringValue" : "getPointerStringValue";
  const auto address = args.integer(0);
  if (!address) {
    explainFailure(e, std::string(method) + ": the address must be an Integer");
    return Value::undefined();
  }
  const auto at = static_cast<std::uint32_t>(*address);
  const auto bytes = readText(at, wide ? 2 : 1);
  if (!bytes) {
    explainFailure(e, std::string(method) + ": " + hexAddress(at) + " is not readable");
    return Value::undefined();
  }
  if (!wide) return script::makeString(e, std::string(bytes->begin(), bytes->end()));
  std::u16string text(bytes->size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>((*bytes)[2 * i] | (*bytes)[2 * i + 1] << 8);
  return script::copyString(e, text);
}

bool dllMethod(Engine& e, script::ClassRecord& cls, void*, script::Atom atom, Value& result, script::ArgBlock block) {
  const Args args(block);
  switch (binding::members(cls).find(atom)) {
    case kRegisterFunction: {
      DllState* state = dllState(e);
      result = Value::boolean(state && registerFunction(e, *state, args));
      return true;
    }
    case kUnregisterFunction:
      unregisterFunction(e, args);
      result = Value::undefined();
      return true;
    case kGetPointerValue: result = getPointerValue(e, args); return true;
    case kGetPointerStringValue: result = getPointerText(e, args, false); return true;
    case kGetPointerWideStringValue: result = getPointerText(e, args, true); return true;
    default: return binding::classObjectMethod(e, cls, atom, result);
  }
}

// Constructing or calling Dll gives the class object.
void constructDll(Engine& e, script::ClassRecord& cls, script::ArgBlock, Value& result) {
  result = e.global(binding::members(cls).className());
}

void callDll(Engine& e, script::ClassRecord& cls, void*, Value& result, script::ArgBlock block) {
  constructDll(e, cls, block, result);
}

} // namespace

void registerDllClasses(Engine& engine, DllContext& context) {
  auto state = std::make_unique<DllState>();
  state->context = &context;
  state->functionClass = &registerImportedFunctionClass(engine);
  keepDllState(engine, std::move(state));
  registerDllParamClass(engine);
  binding::registerClass(engine, {.name = "Dll",
                                  .members = kMembers,
                                  .call = callDll,
                                  .method = dllMethod,
                                  .property = binding::declineProperties,
                                  .construct = constructDll});
}

} // namespace plumex::hostlib::dll
