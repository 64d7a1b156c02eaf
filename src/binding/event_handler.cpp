#include "binding/event_handler.h"

namespace plumex::binding {

using script::Engine;
using script::Kind;
using script::Value;

namespace {

// The handler after a store of v: a Function replaces it, anything else
// keeps or clears it.
Value afterStore(const Value& current, const Value& v, OtherStores other) {
  if (v.is(Kind::Function)) return v;
  return other == OtherStores::Keep ? current : Value::undefined();
}

bool callHandler(Engine& engine, const Value& function, const Value& self,
                 std::span<const Value> args) {
  if (!function.is(Kind::Function)) return false;
  return script::callValue(engine, self, function, args);
}

} // namespace

bool EventHandler::property(bool set, Value& io, OtherStores other) {
  if (set) function_ = afterStore(function_, io, other);
  else io = function_;
  return true;
}

bool EventHandler::fire(Engine& engine, const Value& self, std::span<const Value> args) const {
  return callHandler(engine, function_, self, args);
}

bool ClassEventHandler::property(Engine& engine, bool set, Value& io, OtherStores other) {
  if (!set) {
    io = pin_.value();
    return true;
  }
  const Value next = afterStore(pin_.value(), io, other);
  if (!next.is(Kind::Function)) pin_.reset();
  else if (pin_.value().is(Kind::Function)) pin_.set(next);
  else pin_ = script::Pin(engine, next);
  return true;
}

bool ClassEventHandler::fire(Engine& engine, const Value& self, std::span<const Value> args) const {
  return callHandler(engine, pin_.value(), self, args);
}

} // namespace plumex::binding
