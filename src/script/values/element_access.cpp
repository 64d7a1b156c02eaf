#include "script/values/element_access.h"

#include <cmath>

#include "script/values/array_record.h"
#include "script/values/engine.h"
#include "script/values/string_record.h"

namespace plumex::script {
namespace {

constexpr std::string_view kInvalidIndex = "Warning: invalid index for operator []";
constexpr std::string_view kStringRange = "Warning: string index out of range";

} // namespace

std::optional<std::uint64_t> arrayIndexOf(const Value& key) {
  if (key.is(Kind::Integer)) {
    const std::int64_t k = key.integerValue();
    if (k >= 0 && k <= 0xFFFFFFFFll) return static_cast<std::uint64_t>(k);
    return std::nullopt;
  }
  if (key.is(Kind::Float)) {
    const double t = std::trunc(key.floatValue());
    if (t >= 0 && t <= 4294967295.0) return static_cast<std::uint64_t>(t);
  }
  return std::nullopt;
}

Value readArrayElement(Engine& engine, const ArrayRecord& array, const Value& key) {
  const auto index = arrayIndexOf(key);
  if (!index) {
    engine.warn(kInvalidIndex);
    return Value::undefined();
  }
  if (*index >= array.length) return Value::undefined();
  const Value* v = array.get(*index);
  return v ? *v : Value::undefined();
}

void writeArrayElement(Engine& engine, ArrayRecord& array, const Value& key, const Value& v) {
  const auto index = arrayIndexOf(key);
  if (!index) {
    engine.warn(kInvalidIndex);
    return;
  }
  if (*index >= array.length) array.length = *index + 1;
  array.set(engine.heap(), *index, v);
}

Value readStringElement(Engine& engine, const StringRecord& s, const Value& key) {
  if (!key.is(Kind::Integer)) {
    engine.warn(kInvalidIndex);
    return Value::undefined();
  }
  const std::int64_t i = key.integerValue();
  if (i < 0 || i >= static_cast<std::int64_t>(s.length())) {
    engine.warn(kStringRange);
    return Value::undefined();
  }
  return Value::integer(s.view()[static_cast<std::size_t>(i)]);
}

void writeStringElement(Engine& engine, StringRecord& s, const Value& key, const Value& v) {
  if (!key.is(Kind::Integer)) {
    engine.warn(kInvalidIndex);
    return;
  }
  if (s.isStatic()) {
    engine.warn("Warning: can't change a static string");
    return;
  }
  const std::int64_t i = key.integerValue();
  if (i < 0) {
    engine.warn(kInvalidIndex);
    return;
  }
  char16_t unit;
  if (v.is(Kind::Integer)) {
    unit = static_cast<char16_t>(v.integerValue() & 0xFF);
  } else if (v.is(Kind::String) && v.asString()->length() > 0) {
    unit = v.asString()->view()[0];
  } else {
    engine.warn("Warning: can't store a non-charactor value to string");
    return;
  }
  if (i >= static_cast<std::int64_t>(StringRecord::kMaxLength)) {
    engine.warn(kStringRange);
    return;
  }
  s.setUnit(engine.heap(), static_cast<std::uint32_t>(i), unit);
}

} // namespace plumex::script
