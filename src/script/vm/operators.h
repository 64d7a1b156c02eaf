#pragma once
// The value-level meaning of the arithmetic, bitwise, comparison, equality
// and typeof instructions. The interpreter handles two Integers inline and
// calls these for everything else.

#include "script/values/value.h"

namespace plumex::script {
class Engine;
}

namespace plumex::script::vm {

// false for Undefined, Null, NaN, false, 0, 0.0 and ""; true otherwise.
bool truthy(const Value& v);

Value add(Engine& engine, const Value& a, const Value& b);
Value subtract(Engine& engine, const Value& a, const Value& b);
Value multiply(Engine& engine, const Value& a, const Value& b);
Value divide(Engine& engine, const Value& a, const Value& b);
Value modulo(Engine& engine, const Value& a, const Value& b);
Value negate(Engine& engine, const Value& v);

enum class BitOp { And, Or, Xor };
Value bitwise(Engine& engine, BitOp op, const Value& a, const Value& b);
Value shiftLeft(Engine& engine, const Value& a, const Value& b);
Value shiftRight(Engine& engine, const Value& a, const Value& b);
Value shiftRightUnsigned(Engine& engine, const Value& a, const Value& b);

// The relational operators give a Boolean, or Undefined when NaN takes part.
enum class Relation { Less, Greater, LessEqual, GreaterEqual };
Value compare(Engine& engine, Relation r, const Value& a, const Value& b);

bool strictEquals(const Value& a, const Value& b);
bool looseEquals(Engine& engine, const Value& a, const Value& b);

Value typeOf(Engine& engine, const Value& v);

} // namespace plumex::script::vm
