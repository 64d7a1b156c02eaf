#pragma once
// Native classes: the hook record of a class, the cell of a native object,
// and the argument block the hooks receive.

#include <cstdint>

#include "script/values/cell.h"

namespace plumex::script {

class Engine;
class Heap;
class ClassRecord;

// Element 0 is the Integer argument count, the arguments follow in order.
struct ArgBlock {
  Value* values;
  std::int64_t count() const { return values[0].u.i; }
  Value& operator[](std::size_t i) const { return values[i + 1]; }
};

using CallHook = void (*)(Engine&, ClassRecord&, void* instance, Value& result, ArgBlock args);
// Returns true when the class has the member (the call is then complete).
using MethodHook = bool (*)(Engine&, ClassRecord&, void* self, Atom member, Value& result,
                            ArgBlock args);
// Returns true when the name is a property of the class.
using PropertyHook = bool (*)(Engine&, ClassRecord&, void* instance, Atom member, bool set,
                              Value& io);
using ConstructHook = void (*)(Engine&, ClassRecord&, ArgBlock args, Value& result);
using FinalizeInstanceHook = void (*)(ClassRecord&, void* instance);
using MarkInstanceHook = void (*)(ClassRecord&, void* instance, Tracer&);
using FreeClassDataHook = void (*)(void* classData);
// Elements of an instance by Integer index, as a StructArray has them: a
// read writes the element to io, a store reads the value from it. The
// virtual machine refuses other index keys to such a class's instances.
using ElementHook = void (*)(Engine&, ClassRecord&, void* instance, std::int64_t index, bool set, Value& io);

class ClassRecord final : public Cell {
public:
  CallHook call = nullptr;
  MethodHook method = nullptr;
  PropertyHook property = nullptr;
  ConstructHook construct = nullptr;
  FinalizeInstanceHook finalizeInstance = nullptr;
  MarkInstanceHook markInstance = nullptr;
  ElementHook element = nullptr;
  void* classData = nullptr;
  FreeClassDataHook freeClassData = nullptr;
  PropertyTable* prototype = nullptr;

  void trace(Tracer& t) override;
  std::size_t byteSize() const override { return sizeof(*this); }
  FinalizeOrder finalizeOrder() const override { return FinalizeOrder::Class; }
  void finalize(Heap&) override;
};

class NativeCell final : public Cell {
public:
  // A class object has no instance; a closed object had one and released
  // it (an explicit close, a delete, or the release of a pinned handle).
  enum class State : std::uint8_t { ClassObject, Live, Closed };

  NativeCell(ClassRecord* cls, void* instance, PropertyTable* table)
      : class_(cls), instance_(instance), table_(table),
        state_(instance ? State::Live : State::ClassObject) {}

  ClassRecord* classRecord() const { return class_; }
  // The instance data; null for a class object and for a closed object.
  void* instance() const { return instance_; }
  State state() const { return state_; }
  bool isClassObject() const { return state_ == State::ClassObject; }
  bool isClosed() const { return state_ == State::Closed; }
  bool isLive() const { return state_ == State::Live; }

  PropertyTable* table() const { return table_; }
  void setTable(PropertyTable* t) { table_ = t; }

  // Runs the instance finaliser (once) and leaves the object closed.
  void close(Heap& heap);

  void trace(Tracer& t) override;
  std::size_t byteSize() const override { return sizeof(*this); }
  FinalizeOrder finalizeOrder() const override { return FinalizeOrder::Instance; }
  void finalize(Heap& heap) override { close(heap); }

private:
  ClassRecord* class_;
  void* instance_;
  PropertyTable* table_;
  State state_;
};

} // namespace plumex::script
