#include "moviehost/handle_table.h"

#include <cmath>

#include "script/values/native_cell.h"

namespace plumex::moviehost {

using script::Kind;
using script::Value;

HandleTable::~HandleTable() {
  for (const auto& [number, pin] : byNumber_) engine_.unpinValue(pin);
}

std::int64_t HandleTable::handleFor(const Value& native) {
  const void* cell = native.asNative();
  if (const auto found = byCell_.find(cell); found != byCell_.end()) return found->second;
  const std::int64_t number = numbers_.next++;
  byNumber_.emplace(number, engine_.pinValue(native));
  byCell_.emplace(cell, number);
  return number;
}

std::optional<std::int64_t> HandleTable::numberOf(const Value& v) {
  if (v.is(Kind::Integer)) return v.u.i;
  // A movie's numbers are doubles: a whole one names a handle too.
  if (v.is(Kind::Float) && std::isfinite(v.u.d) && v.u.d == std::trunc(v.u.d) && std::fabs(v.u.d) < 9.0e15)
    return static_cast<std::int64_t>(v.u.d);
  return std::nullopt;
}

std::optional<Value> HandleTable::find(std::int64_t number) const {
  const auto found = byNumber_.find(number);
  if (found == byNumber_.end()) return std::nullopt;
  return found->second->value;
}

std::optional<Value> HandleTable::find(const Value& number) const {
  const auto n = numberOf(number);
  return n ? find(*n) : std::nullopt;
}

bool HandleTable::release(const Value& number) {
  const auto n = numberOf(number);
  if (!n) return false;
  const auto found = byNumber_.find(*n);
  if (found == byNumber_.end()) return false;
  script::PinnedValue* pin = found->second;
  byCell_.erase(pin->value.asNative());
  byNumber_.erase(found);
  engine_.unpinValue(pin);
  return true;
}

} // namespace plumex::moviehost
