#pragma once
// Event properties: names beginning with "on" that hold a Function the
// class calls when its native counterpart reports something.
//
// Handlers are kept where the collector finds them, not merely while the
// same function happens to be reachable elsewhere: an EventHandler lives
// in instance data and the class's markInstance hook marks it, so the
// handler lives exactly as long as its object (a handler that refers back
// to its object forms no root, and both can go together). Per-class
// handlers, which no instance marks, are pinned instead.

#include <span>

#include "script/values/engine.h"

namespace plumex::binding {

// What storing a value that is not a Function does to an event property.
enum class OtherStores {
  Keep,   // the previous handler stays (the rule of most classes)
  Clear,  // the handler is removed
};

// One event property of one object. Call mark() from markInstance.
class EventHandler {
public:
  // A property hook's whole answer for the event: a read gives the stored
  // Function or Undefined; a store keeps a Function and treats anything
  // else as `other` says. Always true (the name is the class's).
  bool property(bool set, script::Value& io, OtherStores other = OtherStores::Keep);

  bool isSet() const { return function_.is(script::Kind::Function); }
  const script::Value& function() const { return function_; }
  void clear() { function_ = script::Value::undefined(); }
  void mark(script::Tracer& t) const { t.mark(function_); }

  // Calls the handler with `self` as this (the object's own native value
  // when the class keeps it, else the class object). False when no handler
  // is set or the call failed (its text is then in the error buffer); the
  // handler's return value is in engine.result after a true answer.
  bool fire(script::Engine& engine, const script::Value& self,
            std::span<const script::Value> args = {}) const;

private:
  script::Value function_;
};

// An event property kept per class, for classes with a single native
// counterpart. Pinned while set. Keep it in the class data, which the
// engine frees while it still stands, never in static storage.
class ClassEventHandler {
public:
  bool property(script::Engine& engine, bool set, script::Value& io,
                OtherStores other = OtherStores::Clear);
  bool isSet() const { return pin_.value().is(script::Kind::Function); }
  const script::Value& function() const { return pin_.value(); }
  void clear() { pin_.reset(); }
  bool fire(script::Engine& engine, const script::Value& self,
            std::span<const script::Value> args = {}) const;

private:
  script::Pin pin_;
};

} // namespace plumex::binding
