#pragma once
// Instance data for classes whose objects can be closed by a method while
// the script object lives on: the holder outlives the native object it
// holds, and every hook asks it whether the object is still there.

#include <memory>

#include "script/values/cell.h"
#include "script/values/native_cell.h"

namespace plumex::binding {

template <class T>
class InstanceHolder {
public:
  explicit InstanceHolder(std::unique_ptr<T> object) : object_(std::move(object)) {}

  T* get() const { return object_.get(); }
  // Destroys the native object; later hooks see a closed object.
  void close() { object_.reset(); }

  // The object behind a hook's instance pointer: null for the class object
  // and once closed.
  static T* from(void* instance) {
    return instance ? static_cast<InstanceHolder*>(instance)->get() : nullptr;
  }
  static InstanceHolder* holder(void* instance) { return static_cast<InstanceHolder*>(instance); }

  // The class's finalizeInstance hook.
  static void finalize(script::ClassRecord&, void* instance) {
    delete static_cast<InstanceHolder*>(instance);
  }
  // The class's markInstance hook, for objects with T::mark(Tracer&).
  static void mark(script::ClassRecord&, void* instance, script::Tracer& t) {
    if (T* object = from(instance)) object->mark(t);
  }

private:
  std::unique_ptr<T> object_;
};

} // namespace plumex::binding
