#pragma once
// Property access by name and by index, deletion and the for-in step, for
// every kind of value: tables of objects, the attached tables of strings,
// arrays and functions, and the hooks of native and per-kind classes.

#include <cstdint>

#include "script/values/value.h"

namespace plumex::script {
class ClassRecord;
class Engine;
class PropertyTable;
}

namespace plumex::script::vm {

// The class record that serves a value: a Native's own, the per-kind
// record otherwise (null for Undefined and Null, or when none is
// registered).
ClassRecord* classOf(Engine& engine, const Value& v);

// GETPROP: Undefined and a warning when nothing is found.
Value getProperty(Engine& engine, const Value& object, Atom name);
// The lookup without the warning: false when the value has no such
// property. `with` objects are asked this way.
bool findProperty(Engine& engine, const Value& object, Atom name, Value& out);
// SETPROP.
void setProperty(Engine& engine, const Value& object, Atom name, const Value& v);
// SETNAME on a `with` object: stores and returns true only when the object
// already has the property.
bool setExistingProperty(Engine& engine, const Value& object, Atom name, const Value& v);

Value getIndex(Engine& engine, const Value& object, const Value& key);
void setIndex(Engine& engine, const Value& object, const Value& key, const Value& v);

void deleteProperty(Engine& engine, const Value& object, Atom name);
void deleteIndex(Engine& engine, const Value& object, const Value& key);
// A variable being deleted: a Native whose class releases instances is
// released at once.
void releaseVariable(Engine& engine, Value& variable);

// The for-in step: the i-th item of the collection, false when none.
bool forInItem(Engine& engine, const Value& collection, std::int64_t i, Value& item);

// The table a method call searches after (or, for objects, before) the
// class's method hook: an Object's own, a Native's own (or its class
// prototype for a class object), or the attached table of a string, array
// or function; null when there is none.
PropertyTable* methodTable(Engine& engine, const Value& receiver);

} // namespace plumex::script::vm
