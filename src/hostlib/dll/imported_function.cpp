// Calling a registered function: too few arguments or one that cannot be
// passed give Undefined without a call; an exception the function leaves
// unhandled ends the call with a runtime error, its temporaries freed.

#include "hostlib/dll/imported_function.h"

#include <cstdio>

#include "binding/arguments.h"
#include "binding/class_binding.h"

namespace plumex::hostlib::dll {
namespace {

using script::Value;

constexpr std::string_view kClassName = "DLL function for native code";

const char* exceptionName(std::uint32_t code) {
  switch (code) {
    case 0xC0000005: return "access violation";
    case 0xC000001D: return "illegal instruction";
    case 0xC0000096: return "privileged instruction";
    case 0xC0000094: return "integer division by zero";
    case 0xC0000095: return "integer overflow";
    case 0xC000008E: return "floating-point division by zero";
    case 0xC0000090: return "floating-point invalid operation";
    case 0xC00000FD: return "stack overflow";
    case 0x80000003: return "breakpoint";
    default: return nullptr;
  }
}

void callImported(script::Engine& e, script::ClassRecord&, void* instance, Value& result, script::ArgBlock block) {
  result = Value::undefined();
  const auto* fn = static_cast<const ImportedFunction*>(instance);
  if (!fn) return;
  const FunctionSignature& sig = fn->signature;
  const binding::Args args(block);
  if (args.size() < sig.params.size()) {
    fn->context->explanations.report(sig.name + ": " + std::to_string(args.size()) + " arguments given, " +
                                     std::to_string(sig.params.size()) + " declared");
    return;
  }
  CallFrame frame(e, sig);
  if (const auto why = frame.convert(args.values())) {
    fn->context->explanations.report(sig.name + ": " + *why);
    return;
  }
  const CallOutcome outcome = fn->context->modules.platform().call(fn->procedure, frame.words(), sig.flags, frame.memory());
  // The frame's temporaries go as the error unwinds.
  if (outcome.exception) script::raiseError(e, exceptionText(sig.name, *outcome.exception));
  result = frame.finish(outcome);
}

} // namespace

std::string exceptionText(const std::string& function, std::uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
  std::string text = function + ": exception " + hex;
  if (const char* name = exceptionName(code)) text += std::string(" (") + name + ")";
  return text + " in the DLL function";
}

script::ClassRecord& registerImportedFunctionClass(script::Engine& engine) {
  return binding::registerClass(engine, {.name = kClassName,
                                         .call = callImported,
                                         .finalizeInstance = binding::deleteInstance<ImportedFunction>});
}

bool isImportedFunction(const Value& v) {
  return v.is(script::Kind::Native) && v.asNative()->isLive() && v.asNative()->classRecord()->call == callImported &&
         v.asNative()->instance() != nullptr;
}

} // namespace plumex::hostlib::dll
