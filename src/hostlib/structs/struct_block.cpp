#include "hostlib/structs/struct_block.h"

#include <cstring>
#include <limits>

#include "hostlib/structs/struct_layout.h"

namespace plumex::hostlib::structs {
namespace {

using script::Kind;
using script::Value;

// Little-endian, as the targets are; members need not be aligned.
template <class T>
T load(std::span<const std::uint8_t> at) {
  T v;
  std::memcpy(&v, at.data(), sizeof v);
  return v;
}

template <class T>
void save(std::span<std::uint8_t> at, T v) {
  std::memcpy(at.data(), &v, sizeof v);
}

} // namespace

Value StructBlock::pointer(std::uint32_t offset) const {
  const auto it = pointers_.find(offset);
  return it == pointers_.end() ? Value::undefined() : it->second;
}

void StructBlock::mark(script::Tracer& t) const {
  for (const auto& [offset, v] : pointers_) t.mark(v);
}

Value readScalar(std::span<const std::uint8_t> at, std::uint32_t code) {
  switch (code) {
    case kBoolean: {
      Value v = Value::boolean(false);
      v.u.i32 = load<std::int32_t>(at);
      return v;
    }
    case kChar: return Value::integer(load<std::int8_t>(at));
    case kUnsignedChar: return Value::integer(load<std::uint8_t>(at));
    case kShort: return Value::integer(load<std::int16_t>(at));
    case kUnsignedShort: return Value::integer(load<std::uint16_t>(at));
    case kInt: return Value::integer(load<std::int32_t>(at));
    case kUnsignedInt: return Value::integer(load<std::uint32_t>(at));
    case kInt64:
    case kUnsignedInt64: return Value::integer(load<std::int64_t>(at));
    case kFloat: return Value::number(load<float>(at));
    case kDouble: return Value::number(load<double>(at));
    default: return Value::undefined();
  }
}

void storeNumber(std::span<std::uint8_t> at, std::uint32_t code, const Value& number) {
  if (code == kFloat || code == kDouble) {
    double d = 0;
    if (number.is(Kind::Integer)) d = static_cast<double>(number.integerValue());
    if (number.is(Kind::Float)) d = number.floatValue();
    if (code == kFloat) save(at, toFloat(d));
    else save(at, d);
    return;
  }
  if (!number.is(Kind::Integer)) return;
  const auto n = static_cast<std::uint64_t>(number.integerValue());
  switch (code) {
    case kBoolean: save<std::uint32_t>(at, n != 0 ? 1 : 0); break;
    case kChar:
    case kUnsignedChar: save(at, static_cast<std::uint8_t>(n)); break;
    case kShort:
    case kUnsignedShort: save(at, static_cast<std::uint16_t>(n)); break;
    case kInt:
    case kUnsignedInt: save(at, static_cast<std::uint32_t>(n)); break;
    case kInt64:
    case kUnsignedInt64: save(at, n); break;
    default: break;
  }
}

float toFloat(double d) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (d > kMax) return std::numeric_limits<float>::infinity();
  if (d < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

} // namespace plumex::hostlib::structs
