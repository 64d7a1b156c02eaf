#include "script/values/factory.h"

#include <algorithm>

#include "platform/ansi_text.h"
#include "script/values/array_record.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script {

PropertyTable* newTable(Engine& engine, std::uint32_t room) {
  room = std::min(room, PropertyTable::kMaxInlineSlots);
  return engine.heap().makeSized<PropertyTable>(PropertyTable::cellBytes(room), room);
}

PropertyTable* newTableOver(Engine& engine, PropertyTable* prototype, std::uint32_t room) {
  PropertyTable* t = newTable(engine, room + 1);
  t->set(engine, kAtomProto, Value::object(prototype));
  return t;
}

ArrayRecord* newArray(Engine& engine, std::uint64_t length) {
  ArrayRecord* a = engine.heap().make<ArrayRecord>(engine.heap());
  a->length = length;
  return a;
}

FunctionCell* newFunction(Engine& engine, Cell* code) {
  return engine.heap().make<FunctionCell>(code);
}

Value makeStaticString(Engine& engine, const char16_t* chars, std::uint32_t length) {
  return Value::string(StringRecord::makeStatic(engine.heap(), chars, length));
}

Value makeStaticString(Engine& engine, std::u16string_view literal) {
  return makeStaticString(engine, literal.data(), static_cast<std::uint32_t>(literal.size()));
}

StringRecord* allocateString(Engine& engine, std::size_t length) {
  if (length > StringRecord::kMaxLength) raiseError(engine, "Out of memory");
  return StringRecord::make(engine.heap(), static_cast<std::uint32_t>(length));
}


Value makeString(Engine& engine, std::string_view ansi) {
  return copyString(engine, ansiToUtf16(ansi));
}

Value copyString(Engine& engine, std::u16string_view text) {
  StringRecord* s = allocateString(engine, text.size());
  std::copy(text.begin(), text.end(), s->chars());
  return Value::string(s);
}

Value copyAscii(Engine& engine, std::string_view ascii) {
  StringRecord* s = allocateString(engine, ascii.size());
  std::transform(ascii.begin(), ascii.end(), s->chars(), [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return Value::string(s);
}

std::string toAnsi(const Value& stringValue) {
  if (!stringValue.is(Kind::String)) return {};
  return utf16ToAnsi(stringValue.asString()->view());
}

Value concatStrings(Engine& engine, const StringRecord& a, std::u16string_view b) {
  if (b.size() > StringRecord::kMaxLength - a.length()) raiseError(engine, "Out of memory");
  if (StringRecord* s = StringRecord::concat(engine.heap(), a, b)) return Value::string(s);
  return concatStrings(engine, a.view(), b);
}

Value concatStrings(Engine& engine, std::u16string_view a, std::u16string_view b) {
  StringRecord* s = allocateString(engine, a.size() + b.size());
  std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), s->chars()));
  return Value::string(s);
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
