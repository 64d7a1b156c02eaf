// Function: the class of every Function value. Its constructor compiles
// the function's source as a module of its own; it has no call hook, so
// calling Function without new is the engine's undefined-function warning.

#include <string>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

// "function (p1, p2) {body}": the String parameters among all arguments
// but the last, and the last as the body when it is a String.
std::string functionSource(const Args& args) {
  std::string source = "function (";
  bool first = true;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (!args[i].is(Kind::String)) continue;
    if (!first) source += ", ";
    source += toAnsi(args[i]);
    first = false;
  }
  source += ") {";
  if (args.size() > 0 && args[args.size() - 1].is(Kind::String)) source += toAnsi(args[args.size() - 1]);
  source += "}";
  return source;
}

void constructFunction(Engine& e, ClassRecord&, ArgBlock block, Value& result) {
  const std::string source = functionSource(Args(block));
  // The compiler numbers the module's functions from the counter as it
  // stands now; the new function is the first of them.
  const std::uint32_t number = e.anonymousFunctionCount;
  // A text that does not compile gives Null; its messages reach the host
  // as those of any script it compiles (vm::lastCompileMessages).
  if (!vm::runText(e, source)) {
    result = Value::null();
    return;
  }
  result = e.global(e.internAnsi("@F_" + std::to_string(number)));
}

bool functionMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock) {
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  switch (atom) {
    case kAtomToString:
      result = binding::classObjectText(e, cls);
      return true;
    case kAtomValueOf:
      result = *static_cast<const Value*>(self);
      return true;
    default:
      return false;
  }
}

} // namespace

void registerFunctionClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Function",
                                   .method = functionMethod,
                                   .property = binding::declineProperties,
                                   .construct = constructFunction,
                                   .objectText = "[object Function]",
                                   .kinds = {Kind::Function}});
}

} // namespace plumex::script::builtins
