// Number: the one class of the Integer, Float and NaN values. There are no
// number objects: calling or constructing the class gives a number, and
// methods run on the number itself.

#include <cmath>
#include <limits>
#include <string>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/builtins/number_format.h"
#include "script/values/conversions.h"
#include "script/values/number_text.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

enum Member { MaxValue, MinValue, NaN_, NegativeInfinity, PositiveInfinity, Format, ToInteger, kMemberCount };
constexpr std::string_view kMembers[] = {"MAX_VALUE", "MIN_VALUE", "NaN", "NEGATIVE_INFINITY",
                                         "POSITIVE_INFINITY", "format", "toInteger"};
static_assert(std::size(kMembers) == kMemberCount);

void constructNumber(Engine& e, ClassRecord&, ArgBlock block, Value& result) {
  const Args args(block);
  result = args.size() == 0 ? Value::integer(0) : toNumberValue(e, args[0]);
}

void callNumber(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructNumber(e, cls, block, result);
}

// The constants, read-only on the class object and on every number.
bool numberProperty(Engine&, ClassRecord& cls, void*, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  Value constant;
  switch (binding::members(cls).find(atom)) {
    case MaxValue: constant = Value::number(std::numeric_limits<double>::max()); break;
    case MinValue: constant = Value::number(std::numeric_limits<double>::min()); break;
    case NaN_: constant = Value::nan(); break;
    case NegativeInfinity: constant = Value::number(-std::numeric_limits<double>::infinity()); break;
    case PositiveInfinity: constant = Value::number(std::numeric_limits<double>::infinity()); break;
    default: return false;
  }
  if (!set) io = constant;
  return true;
}

// An Integer in the radix of an Integer argument (two's complement in any
// radix but 10); a Float as "%g" whatever the radix.
Value numberText(Engine& e, const Value& v, const Args& args) {
  if (v.is(Kind::Integer)) {
    const std::int64_t radix = args.integer(0).value_or(10);
    const int r = radix >= 2 && radix <= 36 ? static_cast<int>(radix) : 10;
    return copyAscii(e, script::formatInteger(v.integerValue(), r));
  }
  return toStringValue(e, v);
}

Value toInteger(const Value& v) {
  if (v.is(Kind::Integer)) return v;
  if (!v.is(Kind::Float)) return Value::nan();
  const double d = std::trunc(v.floatValue());
  // Beyond 64 bits (infinities among them) the truncated Float stays.
  if (std::fabs(d) < 9223372036854775808.0) return Value::integer(static_cast<std::int64_t>(d));
  return Value::number(d);
}

// A format that does not suit the value gives the empty string: formats
// are checked, never handed to a formatting routine with raw words.
Value format(Engine& e, const Value& v, const Args& args) {
  const Value* f = args.ofKind(0, Kind::String);
  if (!f) return toStringValue(e, v);
  if (v.is(Kind::NaN)) return makeStaticString(e, u"NaN");
  auto text = formatNumber(f->asString()->view(), v);
  return copyString(e, text ? std::move(*text) : std::u16string());
}

bool numberMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const Args args(block);
  const int member = binding::members(cls).find(atom);
  if (!self) {
    if (member == ToInteger) {
      result = Value::nan();
      return true;
    }
    if (member == Format) {
      result = copyString(e, {});  // no number to format
      return true;
    }
    return binding::classObjectMethod(e, cls, atom, result);
  }
  // A copy: the receiver's slot may be where the result goes.
  const Value me = *static_cast<const Value*>(self);
  if (!me.isNumber()) return false;
  if (atom == kAtomToString) {
    result = numberText(e, me, args);
    return true;
  }
  if (atom == kAtomValueOf) {
    result = me;
    return true;
  }
  switch (member) {
    case ToInteger: result = toInteger(me); return true;
    case Format: result = format(e, me, args); return true;
    default: return false;  // the constants are properties
  }
}

} // namespace

void registerNumberClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Number",
                                   .members = kMembers,
                                   .call = callNumber,
                                   .method = numberMethod,
                                   .property = numberProperty,
                                   .construct = constructNumber,
                                   .objectText = "[type Function]",
                                   .kinds = {Kind::Integer, Kind::Float, Kind::NaN}});
}

} // namespace plumex::script::builtins
