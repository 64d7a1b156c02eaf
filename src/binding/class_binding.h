#pragma once
// Binding a native class to a script engine. A class is a ClassRecord of
// hooks installed as the global of its name; its member names become
// atoms once, at registration, so that hooks compare integers and never
// texts. Typical registration:
//
//   enum Member { Increment, Close, Value_, kMemberCount };
//   constexpr std::string_view kMembers[] = {"increment", "close", "value"};
//   registerClass(engine, {.name = "Counter", .members = kMembers,
//                          .call = construct, .method = method, ...});
//
// and in a hook: switch (members(cls).find(atom)) { case Increment: ... }

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"

namespace plumex::binding {

// The atoms of a class's member names, its own name, and the text its
// class object gives for "toString". Lives as the class data.
class MemberAtoms {
public:
  MemberAtoms(script::Engine& engine, std::string_view className,
              std::span<const std::string_view> names, std::string_view objectText);

  // The member's position in the names given at registration, or -1.
  int find(script::Atom atom) const;
  script::Atom operator[](std::size_t i) const { return atoms_[i]; }
  std::size_t size() const { return atoms_.size(); }
  script::Atom className() const { return className_; }
  // Kept by the engine, so that static strings may point at it.
  std::u16string_view objectText() const { return objectText_; }

private:
  std::vector<script::Atom> atoms_;
  script::Atom className_;
  std::u16string_view objectText_;
};

// A "$" constant: an Integer global set at registration.
struct Constant {
  std::string_view name;
  std::int64_t value;
};

struct ClassDefinition {
  std::string_view name;
  std::span<const std::string_view> members = {};
  script::CallHook call = nullptr;
  script::MethodHook method = nullptr;
  script::PropertyHook property = nullptr;
  script::ConstructHook construct = nullptr;
  script::FinalizeInstanceHook finalizeInstance = nullptr;
  script::MarkInstanceHook markInstance = nullptr;
  std::span<const Constant> constants = {};
  // What "toString" on the class object gives; "[object NAME]" when empty.
  std::string_view objectText = {};
  // The kinds of value whose class this is (Object, Array, the numbers...).
  std::initializer_list<script::Kind> kinds = {};
};

// Interns the members, makes the class record, installs the class object
// as the global of the name, sets the constants and makes it the class of
// its kinds. Raises on memory
// failure, as every registration step may.
script::ClassRecord& registerClass(script::Engine& engine, const ClassDefinition& definition);

// A global function: a class with only a call hook, under the function's
// name.
void registerFunction(script::Engine& engine, std::string_view name, script::CallHook call);

void setConstant(script::Engine& engine, std::string_view name, std::int64_t value);

// The member atoms of a class made by registerClass.
inline const MemberAtoms& members(const script::ClassRecord& cls) {
  return *static_cast<const MemberAtoms*>(cls.classData);
}

// A property hook for classes without properties of their own: reads give
// Undefined and every name is declined, so that the engine stores members
// in the object's table (or, for the class object, in the class prototype,
// where every instance inherits them) instead of warning.
bool declineProperties(script::Engine&, script::ClassRecord&, void*, script::Atom, bool set,
                       script::Value& io);

// The class object's text ("[object NAME]" unless the class chose another)
// as a static string.
script::Value classObjectText(script::Engine& engine, const script::ClassRecord& cls);
// What every class object answers: "toString" its text, "valueOf" the
// global of the class name. False for any other member.
bool classObjectMethod(script::Engine& engine, const script::ClassRecord& cls, script::Atom atom,
                       script::Value& result);

// Whether a call hook or the engine can call v: a Function, or an open
// native object whose class has a call hook.
bool isCallable(const script::Value& v);

// The class record of the native object held by the global of that name,
// or null when the global holds none (a script may have replaced it).
script::ClassRecord* findClass(script::Engine& engine, std::string_view className);

// Wraps instance data into a native object of the class; the class's
// finalizeInstance hook takes the data over.
template <class T>
script::Value newInstance(script::Engine& engine, script::ClassRecord& cls, std::unique_ptr<T> data) {
  // Released only once the cell exists: a failed allocation frees the data.
  const script::Value v = script::newNative(engine, &cls, data.get());
  data.release();
  return v;
}

// The same for a class named by its global; Null (and the data freed) when
// no such class is installed.
template <class T>
script::Value newInstance(script::Engine& engine, std::string_view className, std::unique_ptr<T> data) {
  script::ClassRecord* cls = findClass(engine, className);
  return cls ? newInstance(engine, *cls, std::move(data)) : script::Value::null();
}

// finalizeInstance and markInstance hooks for instance data of type T
// (markInstance calls T::mark(Tracer&)).
template <class T>
void deleteInstance(script::ClassRecord&, void* instance) {
  delete static_cast<T*>(instance);
}
template <class T>
void markInstance(script::ClassRecord&, void* instance, script::Tracer& t) {
  static_cast<T*>(instance)->mark(t);
}

} // namespace plumex::binding
