#include "script/values/factory.h"

#include "platform/ansi_text.h"
#include "script/values/array_record.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script {

PropertyTable* newTable(Engine& engine) { return engine.heap().make<PropertyTable>(); }

PropertyTable* newTableOver(Engine& engine, PropertyTable* prototype) {
  PropertyTable* t = newTable(engine);
  t->set(engine, kAtomProto, Value::object(prototype));
  return t;
}

ArrayRecord* newArray(Engine& engine, std::uint64_t length) {
  ArrayRecord* a = engine.heap().make<ArrayRecord>();
  a->length = length;
  return a;
}

FunctionCell* newFunction(Engine& engine, Cell* code) {
  return engine.heap().make<FunctionCell>(code);
}

Value makeStaticString(Engine& engine, const char16_t* chars, std::uint32_t length) {
  return Value::string(engine.heap().make<StringRecord>(chars, length));
}

Value makeStaticString(Engine& engine, std::u16string_view literal) {
  return makeStaticString(engine, literal.data(), static_cast<std::uint32_t>(literal.size()));
}

Value newString(Engine& engine, std::u16string text) {
  if (text.size() > StringRecord::kMaxLength) raiseError(engine, "Out of memory");
  const std::size_t extra = text.capacity() * sizeof(char16_t);
  StringRecord* s = engine.heap().make<StringRecord>(std::move(text));
  engine.heap().charge(extra);
  return Value::string(s);
}

Value makeString(Engine& engine, std::string_view ansi) {
  return newString(engine, ansiToUtf16(ansi));
}

Value copyString(Engine& engine, std::u16string_view text) {
  return newString(engine, std::u16string(text));
}

std::string toAnsi(const Value& stringValue) {
  if (!stringValue.is(Kind::String)) return {};
  return utf16ToAnsi(stringValue.asString()->view());
}

Value concatStrings(Engine& engine, std::u16string_view a, std::u16string_view b) {
  if (a.size() + b.size() > StringRecord::kMaxLength) raiseError(engine, "Out of memory");
  std::u16string text;
  text.reserve(a.size() + b.size());
  text.append(a).append(b);
  return newString(engine, std::move(text));
}

ClassRecord* newClass(Engine& engine) {
  ClassRecord* cls = engine.heap().make<ClassRecord>();
  cls->prototype = newTable(engine);
  cls->prototype->set(engine, kAtomProto, Value::null());
  return cls;
}

Value newNative(Engine& engine, ClassRecord* cls, void* instance) {
  PropertyTable* table = instance ? newTableOver(engine, cls->prototype) : nullptr;
  NativeCell* cell = engine.heap().make<NativeCell>(cls, instance, table);
  if (instance) engine.heap().addFinalisable();
  return Value::native(cell);
}

bool isInstanceOf(Engine& engine, const Value& v, std::u16string_view className) {
  if (!v.is(Kind::Native) || v.asNative()->isClassObject()) return false;
  const auto atom = engine.atoms().find(className);
  if (!atom) return false;
  const Value& cls = engine.global(*atom);
  return cls.is(Kind::Native) && cls.asNative()->classRecord() == v.asNative()->classRecord();
}

} // namespace plumex::script
