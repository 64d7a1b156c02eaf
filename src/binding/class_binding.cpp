#include "binding/class_binding.h"

#include <algorithm>
#include <string>

#include "platform/ansi_text.h"
#include "script/values/property_table.h"

namespace plumex::binding {

using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

MemberAtoms::MemberAtoms(Engine& engine, std::string_view className,
                         std::span<const std::string_view> names, std::string_view objectText) {
  atoms_.reserve(names.size());
  for (std::string_view name : names) atoms_.push_back(engine.internAnsi(name));
  className_ = engine.internAnsi(className);
  const std::u16string text =
      ansiToUtf16(objectText.empty() ? "[object " + std::string(className) + "]" : std::string(objectText));
  objectText_ = std::u16string_view(engine.keepText(text), text.size());
}

int MemberAtoms::find(Atom atom) const {
  const auto it = std::find(atoms_.begin(), atoms_.end(), atom);
  return it == atoms_.end() ? -1 : static_cast<int>(it - atoms_.begin());
}

ClassRecord& registerClass(Engine& engine, const ClassDefinition& d) {
  auto atoms = std::make_unique<MemberAtoms>(engine, d.name, d.members, d.objectText);
  ClassRecord* cls = script::newClass(engine);
  cls->call = d.call;
  cls->method = d.method;
  cls->property = d.property;
  cls->construct = d.construct;
  cls->finalizeInstance = d.finalizeInstance;
  cls->markInstance = d.markInstance;
  cls->freeClassData = [](void* data) { delete static_cast<MemberAtoms*>(data); };
  cls->classData = atoms.release();
  const Atom name = members(*cls).className();
  // Interning may move the globals: the slot is taken only after it.
  const Value object = script::newNative(engine, cls, nullptr);
  engine.global(name) = object;
  for (const Constant& c : d.constants) setConstant(engine, c.name, c.value);
  for (Kind kind : d.kinds) engine.classForKind(kind) = cls;
  return *cls;
}

void registerFunction(Engine& engine, std::string_view name, script::CallHook call) {
  const Atom atom = engine.internAnsi(name);
  ClassRecord* cls = script::newClass(engine);
  cls->call = call;
  const Value object = script::newNative(engine, cls, nullptr);
  engine.global(atom) = object;
}

void setConstant(Engine& engine, std::string_view name, std::int64_t value) {
  const Atom atom = engine.internAnsi(name);
  engine.global(atom) = Value::integer(value);
}

bool declineProperties(Engine&, ClassRecord&, void*, Atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  return false;
}

Value classObjectText(Engine& engine, const ClassRecord& cls) {
  return script::makeStaticString(engine, members(cls).objectText());
}

bool classObjectMethod(Engine& engine, const ClassRecord& cls, Atom atom, Value& result) {
  if (atom == script::kAtomToString) {
    result = classObjectText(engine, cls);
    return true;
  }
  if (atom == script::kAtomValueOf) {
    result = engine.global(members(cls).className());
    return true;
  }
  return false;
}

bool isCallable(const Value& v) {
  if (v.is(Kind::Function)) return true;
  return v.is(Kind::Native) && !v.asNative()->isClosed() && v.asNative()->classRecord()->call;
}

ClassRecord* findClass(Engine& engine, std::string_view className) {
  const Value& v = engine.global(engine.internAnsi(className));
  return v.is(Kind::Native) ? v.asNative()->classRecord() : nullptr;
}

} // namespace plumex::binding
