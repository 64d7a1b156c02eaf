// The globals NaN and Infinity, and the global functions that read and
// test numbers: parseInt, parseFloat, isNaN and isFinite.

#include <cmath>
#include <limits>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/number_text.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

// Digits in the radix (0 or absent: from the prefix); no digits give NaN,
// digits beyond 64 bits a Float.
void parseInt(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  result = Value::nan();
  if (args.size() == 0) return;
  const std::int64_t radix = args[1].is(Kind::Integer) ? args[1].integerValue() : args.int32(e, 1, 0);
  // A radix out of range reads no digits at all.
  const int r = radix >= 0 && radix <= 36 ? static_cast<int>(radix) : -1;
  const Value text = toStringValue(e, args[0]);
  const ParsedNumber n = parseNumberText(text.asString()->view(), r);
  if (n.kind == ParsedKind::Integer) result = Value::integer(n.integerValue);
  else if (n.kind == ParsedKind::Float) result = Value::number(n.floatValue);
}

// A number conversion whose Integer becomes a Float, so that hexadecimal
// and octal texts read as they do anywhere else.
void parseFloat(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  result = Value::nan();
  if (args.size() == 0) return;
  const Value n = toNumberValue(e, args[0]);
  result = n.is(Kind::Integer) ? Value::number(static_cast<double>(n.integerValue())) : n;
}

void isNaN(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  result = Value::undefined();
  if (args.size() == 0) return;
  const Value& v = args[0];
  if (v.is(Kind::Integer) || v.is(Kind::Float)) result = Value::boolean(false);
  else result = Value::boolean(toNumberValue(e, v).is(Kind::NaN));
}

bool finite(const Value& n) {
  if (n.is(Kind::Integer)) return true;
  return n.is(Kind::Float) && !std::isinf(n.floatValue());
}

void isFinite(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  result = Value::undefined();
  if (args.size() == 0) return;
  const Value& v = args[0];
  result = Value::boolean(finite(v.isNumber() ? v : toNumberValue(e, v)));
}

} // namespace

void registerNumberFunctions(Engine& engine) {
  engine.global(engine.internAnsi("NaN")) = Value::nan();
  engine.global(engine.internAnsi("Infinity")) = Value::number(std::numeric_limits<double>::infinity());
  binding::registerFunction(engine, "parseInt", parseInt);
  binding::registerFunction(engine, "parseFloat", parseFloat);
  binding::registerFunction(engine, "isNaN", isNaN);
  binding::registerFunction(engine, "isFinite", isFinite);
}

} // namespace plumex::script::builtins
