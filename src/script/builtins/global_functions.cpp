// Global functions: classes with only a call hook, installed under the
// function's name.

#include <string>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"

namespace plumex::script::builtins {
namespace {

// The texts of all arguments, side by side without a separator, make one
// line of the trace output (the sink ends the line).
void trace(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  std::string line;
  for (const Value& v : binding::Args(block).values()) line += toAnsi(toStringValue(e, v));
  e.trace(line);
  result = Value::undefined();
}

} // namespace

void registerTraceFunction(Engine& engine) { binding::registerFunction(engine, "trace", trace); }

} // namespace plumex::script::builtins
