#include "script/vm/operators.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "script/values/conversions.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/number_text.h"
#include "script/values/string_record.h"

namespace plumex::script::vm {

namespace {

using u64 = std::uint64_t;

std::int64_t wrapAdd(std::int64_t a, std::int64_t b) { return static_cast<std::int64_t>(u64(a) + u64(b)); }
std::int64_t wrapSub(std::int64_t a, std::int64_t b) { return static_cast<std::int64_t>(u64(a) - u64(b)); }
std::int64_t wrapMul(std::int64_t a, std::int64_t b) { return static_cast<std::int64_t>(u64(a) * u64(b)); }

Value numeric(Engine& engine, const Value& v) { return v.isNumber() ? v : toNumberValue(engine, v); }

double asDouble(const Value& v) {
  return v.is(Kind::Integer) ? static_cast<double>(v.integerValue()) : v.floatValue();
}

bool isInfinity(const Value& v) { return v.is(Kind::Float) && std::isinf(v.floatValue()); }
bool isZero(const Value& v) {
  return (v.is(Kind::Integer) && v.integerValue() == 0) || (v.is(Kind::Float) && v.floatValue() == 0.0);
}

template <class IntOp, class FloatOp>
Value arithmetic(Engine& engine, const Value& a, const Value& b, IntOp intOp, FloatOp floatOp) {
  const Value x = numeric(engine, a);
  const Value y = numeric(engine, b);
  if (x.is(Kind::NaN) || y.is(Kind::NaN)) return Value::nan();
  if (x.is(Kind::Integer) && y.is(Kind::Integer)) return Value::integer(intOp(x.integerValue(), y.integerValue()));
  return Value::number(floatOp(asDouble(x), asDouble(y)));
}

} // namespace

bool truthy(const Value& v) {
  switch (v.kind) {
  case Kind::Undefined:
  case Kind::Null:
  case Kind::NaN: return false;
  case Kind::Boolean: return v.booleanValue();
  case Kind::Integer: return v.integerValue() != 0;
  case Kind::Float: return v.floatValue() != 0.0;
  case Kind::String: return v.asString()->length() != 0;
  default: return true;
  }
}

Value add(Engine& engine, const Value& a, const Value& b) {
  // Text and an Integer, the way strings are mostly built: the digits go
  // straight into the result.
  if (a.is(Kind::String) && b.is(Kind::Integer)) {
    DecimalUnits room;
    return concatStrings(engine, *a.asString(), decimalText(b.integerValue(), room));
  }
  if (a.is(Kind::Integer) && b.is(Kind::String)) {
    DecimalUnits room;
    return concatStrings(engine, decimalText(a.integerValue(), room), b.asString()->view());
  }
  if (a.is(Kind::String) || b.is(Kind::String)) {
    // Both texts are taken before the new string is made: converting one
    // side may run script.
    const Value left = a.is(Kind::String) ? a : toStringValue(engine, a);
    engine.push(left);
    const Value right = b.is(Kind::String) ? b : toStringValue(engine, b);
    engine.push(right);
    const Value sum = concatStrings(engine, *left.asString(), right.asString()->view());
    engine.setStackPosition(engine.stackPosition() + 2);
    return sum;
  }
  return arithmetic(engine, a, b, wrapAdd, [](double x, double y) { return x + y; });
}

Value subtract(Engine& engine, const Value& a, const Value& b) {
  return arithmetic(engine, a, b, wrapSub, [](double x, double y) { return x - y; });
}

Value multiply(Engine& engine, const Value& a, const Value& b) {
  const Value x = numeric(engine, a);
  const Value y = numeric(engine, b);
  if ((isInfinity(x) && isZero(y)) || (isZero(x) && isInfinity(y))) return Value::nan();
  return arithmetic(engine, x, y, wrapMul, [](double p, double q) { return p * q; });
}

Value divide(Engine& engine, const Value& a, const Value& b) {
  const Value x = numeric(engine, a);
  const Value y = numeric(engine, b);
  if (x.is(Kind::NaN) || y.is(Kind::NaN)) return Value::nan();
  if (isInfinity(x) && isInfinity(y)) return Value::nan();
  if (isInfinity(x) && isZero(y)) return x;
  if (isZero(x) && isZero(y)) return Value::nan();
  return Value::number(asDouble(x) / asDouble(y));
}

Value modulo(Engine& engine, const Value& a, const Value& b) {
  auto integerRemainder = [](std::int64_t p, std::int64_t q) {
    if (q == 0) return Value::nan();
    if (q == -1) return Value::integer(0);
    return Value::integer(p % q);
  };
  if (a.is(Kind::Integer) && b.is(Kind::Integer)) return integerRemainder(a.integerValue(), b.integerValue());
  const Value x = numeric(engine, a);
  const Value y = numeric(engine, b);
  if (x.is(Kind::NaN) || y.is(Kind::NaN) || isInfinity(x) || isZero(y)) return Value::nan();
  if (isInfinity(y) || isZero(x)) return x;
  if (x.is(Kind::Integer) && y.is(Kind::Integer)) return integerRemainder(x.integerValue(), y.integerValue());
  const double p = asDouble(x);
  const double q = asDouble(y);
  const double quotient = std::trunc(p / q);
  // The quotient goes through a 64-bit integer; beyond its range the
  // remainder is not representable anyway.
  if (!(std::fabs(quotient) < 9.2e18)) return Value::number(std::fmod(p, q));
  return Value::number(p - q * static_cast<double>(static_cast<std::int64_t>(quotient)));
}

Value negate(Engine& engine, const Value& v) {
  const Value x = numeric(engine, v);
  if (x.is(Kind::Integer)) return Value::integer(wrapSub(0, x.integerValue()));
  if (x.is(Kind::Float)) return Value::number(-x.floatValue());
  return x;
}

Value bitwise(Engine& engine, BitOp op, const Value& a, const Value& b) {
  std::int64_t x, y;
  if (a.is(Kind::Integer) && b.is(Kind::Integer)) {
    x = a.integerValue();
    y = b.integerValue();
  } else {
    x = toInt64(engine, a);
    y = toInt64(engine, b);
  }
  switch (op) {
  case BitOp::And: return Value::integer(x & y);
  case BitOp::Or: return Value::integer(x | y);
  default: return Value::integer(x ^ y);
  }
}

namespace {

struct ShiftOperands {
  std::int64_t value;
  unsigned count;  // 0 to 255
};

ShiftOperands shiftOperands(Engine& engine, const Value& a, const Value& b) {
  if (a.is(Kind::Integer) && b.is(Kind::Integer))
    return {a.integerValue(), static_cast<unsigned>(b.integerValue() & 0xFF)};
  const std::int64_t value = toInt64(engine, a);
  return {value, static_cast<unsigned>(toInt32(engine, b)) & 0xFFu};
}

} // namespace

Value shiftLeft(Engine& engine, const Value& a, const Value& b) {
  const ShiftOperands s = shiftOperands(engine, a, b);
  return Value::integer(s.count >= 64 ? 0 : static_cast<std::int64_t>(u64(s.value) << s.count));
}

Value shiftRight(Engine& engine, const Value& a, const Value& b) {
  const ShiftOperands s = shiftOperands(engine, a, b);
  if (s.count >= 64) return Value::integer(s.value < 0 ? -1 : 0);
  return Value::integer(s.value >> s.count);
}

Value shiftRightUnsigned(Engine& engine, const Value& a, const Value& b) {
  const std::int64_t value = toInt64(engine, a);
  const unsigned count = static_cast<unsigned>(toInt32(engine, b)) & 0xFFu;
  if (count == 0) return Value::integer(value);
  return Value::integer(count >= 64 ? 0 : static_cast<std::int64_t>(u64(value) >> count));
}

Value compare(Engine& engine, Relation r, const Value& a, const Value& b) {
  int order;  // <0, 0, >0
  if (a.is(Kind::String) && b.is(Kind::String)) {
    order = compareStrings(a.asString()->view(), b.asString()->view());
  } else if (a.is(Kind::Integer) && b.is(Kind::Integer)) {
    order = a.integerValue() < b.integerValue() ? -1 : a.integerValue() > b.integerValue() ? 1 : 0;
  } else {
    const Value x = numeric(engine, a);
    const Value y = numeric(engine, b);
    if (x.is(Kind::NaN) || y.is(Kind::NaN)) return Value::undefined();
    if (x.is(Kind::Integer) && y.is(Kind::Integer)) {
      order = x.integerValue() < y.integerValue() ? -1 : x.integerValue() > y.integerValue() ? 1 : 0;
    } else {
      const double p = asDouble(x);
      const double q = asDouble(y);
      order = p < q ? -1 : p > q ? 1 : 0;
    }
  }
  switch (r) {
  case Relation::Less: return Value::boolean(order < 0);
  case Relation::Greater: return Value::boolean(order > 0);
  case Relation::LessEqual: return Value::boolean(order <= 0);
  default: return Value::boolean(order >= 0);
  }
}

namespace {

bool numbersEqual(const Value& a, const Value& b) {
  if (a.is(Kind::NaN) || b.is(Kind::NaN)) return false;
  if (a.is(Kind::Integer) && b.is(Kind::Integer)) return a.integerValue() == b.integerValue();
  return asDouble(a) == asDouble(b);
}

bool sameKindEqual(const Value& a, const Value& b) {
  switch (a.kind) {
  case Kind::Undefined:
  case Kind::Null: return true;
  case Kind::Boolean: return a.booleanValue() == b.booleanValue();
  case Kind::Integer: return a.integerValue() == b.integerValue();
  case Kind::Float: return a.floatValue() == b.floatValue();
  case Kind::String: return a.u.p == b.u.p || compareStrings(a.asString()->view(), b.asString()->view()) == 0;
  case Kind::Array:
  case Kind::Object:
  case Kind::Function: return a.u.p == b.u.p;
  case Kind::Native:
    return a.u.p == b.u.p || (a.asNative()->classRecord() == b.asNative()->classRecord() &&
                              a.asNative()->instance() == b.asNative()->instance() &&
                              a.asNative()->instance() != nullptr);
  default: return false;
  }
}

bool isScalar(const Value& v) {
  switch (v.kind) {
  case Kind::String:
  case Kind::Boolean:
  case Kind::Integer:
  case Kind::Float:
  case Kind::NaN: return true;
  default: return false;
  }
}

} // namespace

bool strictEquals(const Value& a, const Value& b) {
  if (a.kind == b.kind) return sameKindEqual(a, b);
  return a.isNumber() && b.isNumber() && numbersEqual(a, b);
}

bool looseEquals(Engine& engine, const Value& first, const Value& second) {
  Value a = first;
  Value b = second;
  // toPrimitive gives a primitive, so the loop turns at most twice.
  for (int round = 0; round < 3; ++round) {
    if (a.kind == b.kind) return sameKindEqual(a, b);
    const bool nullish = (a.is(Kind::Undefined) && b.is(Kind::Null)) || (a.is(Kind::Null) && b.is(Kind::Undefined));
    if (nullish) return true;
    if (a.isNumber() && b.isNumber()) return numbersEqual(a, b);
    if (isScalar(a) && isScalar(b)) return numbersEqual(toNumberValue(engine, a), toNumberValue(engine, b));
    if (a.is(Kind::Object) && isScalar(b)) {
      a = toPrimitive(engine, a, kHintNumber);
    } else if (b.is(Kind::Object) && isScalar(a)) {
      b = toPrimitive(engine, b, kHintNumber);
    } else {
      return false;
    }
  }
  return false;
}

Value typeOf(Engine& engine, const Value& v) { return makeStaticString(engine, typeOfText(v)); }

} // namespace plumex::script::vm
