#include "binding/arguments.h"

#include "script/values/conversions.h"

namespace plumex::binding {

using script::Kind;
using script::Value;

const Value& Args::operator[](std::size_t i) const {
  static constexpr Value kMissing{};
  return has(i) ? block_[i] : kMissing;
}

std::optional<std::int64_t> Args::integer(std::size_t i) const {
  if (const Value* v = ofKind(i, Kind::Integer)) return v->integerValue();
  return std::nullopt;
}

std::optional<std::string> Args::text(std::size_t i) const {
  if (const Value* v = ofKind(i, Kind::String)) return script::toAnsi(*v);
  return std::nullopt;
}

std::int32_t Args::int32(script::Engine& engine, std::size_t i, std::int32_t fallback) const {
  return has(i) ? script::toInt32(engine, (*this)[i]) : fallback;
}

std::int64_t Args::int64(script::Engine& engine, std::size_t i, std::int64_t fallback) const {
  return has(i) ? script::toInt64(engine, (*this)[i]) : fallback;
}

bool Args::boolean(std::size_t i, bool fallback) const {
  return has(i) ? script::toBoolean((*this)[i]) : fallback;
}

} // namespace plumex::binding
