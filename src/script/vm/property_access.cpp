#include "script/vm/property_access.h"

#include <string>

#include "script/values/array_record.h"
#include "script/values/element_access.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script::vm {

namespace {

void warnUndefinedProperty(Engine& engine, Atom name) {
  engine.warn("Warning: using undefined property \"" + engine.atomName(name) + "\"");
}

void warnWrongType(Engine& engine, Atom name) {
  engine.warn("Warning: can't set property \"" + engine.atomName(name) + "\" with a wrong type");
}

// Strings, arrays and functions carry a table of their own, made when
// first needed.
bool hasAttachedTable(const Value& v) {
  return v.is(Kind::String) || v.is(Kind::Array) || v.is(Kind::Function);
}

PropertyTable* attachedTable(const Value& v) {
  switch (v.kind) {
  case Kind::String: return v.asString()->table();
  case Kind::Array: return v.asArray()->table;
  case Kind::Function: return v.asFunction()->table();
  default: return nullptr;
  }
}

void setAttachedTable(const Value& v, PropertyTable* t) {
  switch (v.kind) {
  case Kind::String: v.asString()->setTable(t); break;
  case Kind::Array: v.asArray()->table = t; break;
  case Kind::Function: v.asFunction()->setTable(t); break;
  default: break;
  }
}

// The attached table, made on demand over the class prototype of the
// value's kind (the Function class's for functions).
PropertyTable* ensureAttachedTable(Engine& engine, const Value& v) {
  if (PropertyTable* t = attachedTable(v)) return t;
  ClassRecord* cls = engine.classForKind(v.kind);
  PropertyTable* t = cls && cls->prototype ? newTableOver(engine, cls->prototype) : newTable(engine);
  setAttachedTable(v, t);
  return t;
}

// A native object's table for lookups and stores: its own, or the class
// prototype for a class object.
PropertyTable* nativeTable(const NativeCell& cell) {
  return cell.table() ? cell.table() : cell.classRecord()->prototype;
}

bool askPropertyHook(Engine& engine, ClassRecord* cls, void* instance, Atom name, bool set, Value& io) {
  return cls && cls->property && cls->property(engine, *cls, instance, name, set, io);
}

void* hookInstance(const Value& v) {
  return v.is(Kind::Native) ? v.asNative()->instance() : const_cast<Value*>(&v);
}

// An Integer key of an instance of a class with elements (a StructArray)
// names an element; false for any other key or native object, which the
// rules of every native take.
bool accessElement(Engine& engine, NativeCell& cell, const Value& key, bool set, Value& io) {
  ClassRecord* cls = cell.classRecord();
  if (!cls->element || !cell.isLive() || !key.is(Kind::Integer)) return false;
  if (!set) io = Value::undefined();
  cls->element(engine, *cls, cell.instance(), key.integerValue(), set, io);
  return true;
}

} // namespace

ClassRecord* classOf(Engine& engine, const Value& v) {
  if (v.is(Kind::Native)) return v.asNative()->classRecord();
  switch (v.kind) {
  case Kind::Undefined:
  case Kind::Null:
  case Kind::Hole:
  case Kind::FrameLink:
  case Kind::FrameInfo: return nullptr;
  case Kind::Integer:
  case Kind::Float:
  case Kind::NaN:
    // The numeric kinds share one class; it registers under Integer.
    if (ClassRecord* c = engine.classForKind(v.kind)) return c;
    return engine.classForKind(Kind::Integer);
  default: return engine.classForKind(v.kind);
  }
}

bool findProperty(Engine& engine, const Value& object, Atom name, Value& out) {
  if (object.is(Kind::Object)) return object.asObject()->get(name, out);
  ClassRecord* cls = classOf(engine, object);
  if (!cls) return false;
  out = Value::undefined();
  if (askPropertyHook(engine, cls, hookInstance(object), name, false, out)) return true;
  if (object.is(Kind::Native)) {
    PropertyTable* t = nativeTable(*object.asNative());
    if (name == kAtomProto) {
      out = t ? Value::object(t) : Value::undefined();
      return t != nullptr;
    }
    return t && t->get(name, out);
  }
  if (name == kAtomProto && hasAttachedTable(object)) {
    out = Value::object(ensureAttachedTable(engine, object));
    return true;
  }
  if (PropertyTable* own = attachedTable(object); own && own->get(name, out)) return true;
  return cls->prototype && cls->prototype->get(name, out);
}

Value getProperty(Engine& engine, const Value& object, Atom name) {
  Value out;
  if (findProperty(engine, object, name, out)) return out;
  // A native class with a property hook answers for its objects: an
  // unknown name is simply not there.
  const bool quiet = object.is(Kind::Native) && object.asNative()->classRecord()->property;
  if (!quiet) warnUndefinedProperty(engine, name);
  return Value::undefined();
}

void setProperty(Engine& engine, const Value& object, Atom name, const Value& v) {
  if (object.is(Kind::Object)) {
    object.asObject()->set(engine, name, v);
    return;
  }
  ClassRecord* cls = classOf(engine, object);
  if (!cls) {
    warnUndefinedProperty(engine, name);
    return;
  }
  Value io = v;
  if (askPropertyHook(engine, cls, hookInstance(object), name, true, io)) return;
  if (object.is(Kind::Native)) {
    NativeCell& cell = *object.asNative();
    if (!cls->property) {
      warnUndefinedProperty(engine, name);
      return;
    }
    if (name == kAtomProto) {
      if (!v.is(Kind::Object)) {
        warnWrongType(engine, name);
      } else if (cell.isClassObject()) {
        cls->prototype = v.asObject();
      } else {
        cell.setTable(v.asObject());
      }
      return;
    }
    PropertyTable* t = cell.table();
    if (!t && !cell.isClassObject()) {
      t = cls->prototype ? newTableOver(engine, cls->prototype) : newTable(engine);
      cell.setTable(t);
    }
    if (!t) t = cls->prototype;
    if (t) t->set(engine, name, v);
    return;
  }
  if (!hasAttachedTable(object)) {
    warnUndefinedProperty(engine, name);
    return;
  }
  if (name == kAtomProto) {
    if (v.is(Kind::Object))
      setAttachedTable(object, v.asObject());
    else
      warnWrongType(engine, name);
    return;
  }
  ensureAttachedTable(engine, object)->set(engine, name, v);
}

bool setExistingProperty(Engine& engine, const Value& object, Atom name, const Value& v) {
  if (object.is(Kind::Object)) {
    Value existing;
    if (!object.asObject()->get(name, existing)) return false;
    object.asObject()->set(engine, name, v);
    return true;
  }
  ClassRecord* cls = classOf(engine, object);
  if (!cls) return false;
  Value io = v;
  if (askPropertyHook(engine, cls, hookInstance(object), name, true, io)) return true;
  PropertyTable* t = object.is(Kind::Native) ? nativeTable(*object.asNative()) : attachedTable(object);
  if (!t || t->findSlot(name) < 0) return false;
  t->set(engine, name, v);
  return true;
}

Value getIndex(Engine& engine, const Value& object, const Value& key) {
  switch (object.kind) {
  case Kind::Object: {
    Value out;
    if (key.is(Kind::Name)) {
      object.asObject()->get(key.atom(), out);
    } else {
      object.asObject()->getAt(engine, key, out);
    }
    return out;
  }
  case Kind::Array: return readArrayElement(engine, *object.asArray(), key);
  case Kind::String: return readStringElement(engine, *object.asString(), key);
  case Kind::Native: {
    Value element;
    if (accessElement(engine, *object.asNative(), key, false, element)) return element;
    if (key.is(Kind::String)) {
      const Atom name = engine.intern(key.asString()->view());
      return getProperty(engine, object, name);
    }
    if (!key.is(Kind::Integer)) engine.warn("Warning: invalid index for operator []");
    return Value::undefined();
  }
  default: return Value::undefined();
  }
}

void setIndex(Engine& engine, const Value& object, const Value& key, const Value& v) {
  switch (object.kind) {
  case Kind::Object:
    if (key.is(Kind::Name))
      object.asObject()->set(engine, key.atom(), v);
    else
      object.asObject()->setAt(engine, key, v);
    return;
  case Kind::Array: writeArrayElement(engine, *object.asArray(), key, v); return;
  case Kind::String: writeStringElement(engine, *object.asString(), key, v); return;
  case Kind::Native: {
    Value element = v;
    if (accessElement(engine, *object.asNative(), key, true, element)) return;
    if (key.is(Kind::String)) {
      const Atom name = engine.intern(key.asString()->view());
      setProperty(engine, object, name, v);
    } else if (!key.is(Kind::Integer)) {
      engine.warn("Warning: invalid index for operator []");
    }
    return;
  }
  default: return;
  }
}

void deleteProperty(Engine& engine, const Value& object, Atom name) {
  if (object.is(Kind::Object)) object.asObject()->remove(engine, name);
}

void deleteIndex(Engine& engine, const Value& object, const Value& key) {
  if (object.is(Kind::Object)) {
    if (key.is(Kind::Name))
      object.asObject()->remove(engine, key.atom());
    else
      object.asObject()->removeAt(engine, key);
  } else if (object.is(Kind::Array) && key.is(Kind::Integer) && key.integerValue() >= 0) {
    object.asArray()->removeShift(engine.heap(), static_cast<std::uint64_t>(key.integerValue()));
  }
}

void releaseVariable(Engine& engine, Value& variable) {
  if (variable.is(Kind::Native)) {
    NativeCell& cell = *variable.asNative();
    if (cell.isLive() && cell.classRecord()->finalizeInstance) cell.close(engine.heap());
  }
  variable = Value::undefined();
}

bool forInItem(Engine& engine, const Value& c, std::int64_t i, Value& item) {
  if (i < 0) return false;
  const auto index = static_cast<std::uint64_t>(i);
  switch (c.kind) {
  case Kind::String: {
    const std::u16string_view text = c.asString()->view();
    if (index >= text.size()) return false;
    item = Value::integer(text[index]);
    return true;
  }
  case Kind::Array: {
    const ArrayRecord& a = *c.asArray();
    if (index >= a.length) return false;
    const Value* v = a.get(index);
    item = v ? *v : Value::undefined();
    return true;
  }
  case Kind::Object:
    if (index > 0xFFFFFFFFu) return false;
    return c.asObject()->nameAt(engine, static_cast<std::uint32_t>(index), item);
  default: return false;
  }
}

PropertyTable* methodTable(Engine&, const Value& receiver) {
  switch (receiver.kind) {
  case Kind::Object: return receiver.asObject();
  case Kind::Native: return receiver.asNative()->table();
  default: return attachedTable(receiver);
  }
}

} // namespace plumex::script::vm
