// The global function _call: calls a global function by name with the
// arguments an object holds at positions 0 to length-1.

#include <vector>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

// How many arguments the value stack can still take: the call lays them
// out there, and a length beyond that cannot be a real argument list.
std::int64_t stackRoom(Engine& e) {
  const std::ptrdiff_t free = e.stackPosition() - e.stackBase();
  return free > static_cast<std::ptrdiff_t>(kStackReserve) ? free - static_cast<std::ptrdiff_t>(kStackReserve) : 0;
}

void call(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const binding::Args args(block);
  result = Value::undefined();
  const Value* name = args.ofKind(0, Kind::String);
  const Value* holder = args.ofKind(1, Kind::Object);
  if (!name || !holder) return;
  const auto nameAtom = e.atoms().find(name->asString()->view());
  const auto lengthAtom = e.atoms().find(u"length");
  if (!nameAtom || !lengthAtom) return;  // a name never interned names no global
  Value length;
  if (!holder->asObject()->get(*lengthAtom, length) || !length.is(Kind::Integer)) return;
  const std::int64_t count = length.integerValue();
  if (count < 0 || count > stackRoom(e)) return;

  std::vector<Value> values(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) holder->asObject()->getAt(e, Value::integer(i), values[static_cast<std::size_t>(i)]);
  // Read now: the call may run script that changes the global.
  const Value function = e.global(*nameAtom);
  if (callValue(e, Value::null(), function, values)) result = e.result;
}

} // namespace

void registerCallFunction(Engine& engine) { binding::registerFunction(engine, "_call", call); }

} // namespace plumex::script::builtins
