#include "script/values/conversions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "script/values/array_record.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/number_text.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script {
namespace {

// A value slot on the engine's stack for the span of a call that may run
// script, so that the collector sees what it holds.
class StackSlot {
public:
  explicit StackSlot(Engine& e, const Value& v = {}) : engine_(e) {
    e.push(v);
    slot_ = e.stackPosition() + 1;
  }
  ~StackSlot() { engine_.setStackPosition(slot_); }
  Value& operator*() { return *slot_; }

private:
  Engine& engine_;
  Value* slot_;
};

Value staticText(Engine& e, std::u16string_view text) { return makeStaticString(e, text); }

// Calls a member of an Object as a call by name does: a Function on the
// "__proto__" chain runs with the object as this; an absent name goes to
// the Object class. The result register is left as it was.
bool callObjectMember(Engine& e, const Value& object, Atom atom, Value& out) {
  Value fn;
  if (object.asObject()->get(atom, fn)) {
    if (!fn.is(Kind::Function)) return false;
    StackSlot saved(e, e.result);
    const bool ok = callValue(e, object, fn, {});
    out = e.result;
    e.result = *saved;
    return ok;
  }
  ClassRecord* cls = e.classForKind(Kind::Object);
  if (cls && cls->method) {
    StackSlot self(e, object);
    StackSlot result(e);
    Value count = Value::integer(0);
    const bool ok = cls->method(e, *cls, &*self, atom, *result, ArgBlock{&count});
    out = *result;
    return ok;
  }
  if (atom == kAtomToString) {
    out = staticText(e, u"[object Object]");
    return true;
  }
  return false;
}

// The class method hook of a native object; a closed object and a class
// without the hook decline.
bool callNativeMember(Engine& e, const Value& v, Atom atom, Value& out) {
  NativeCell* cell = v.asNative();
  ClassRecord* cls = cell->classRecord();
  if (cell->isClosed() || !cls->method) return false;
  StackSlot keep(e, v);
  StackSlot result(e);
  Value count = Value::integer(0);
  const bool ok = cls->method(e, *cls, cell->instance(), atom, *result, ArgBlock{&count});
  out = *result;
  return ok;
}

bool callKindMember(Engine& e, const Value& v, Atom atom, Value& out) {
  ClassRecord* cls = e.classForKind(v.kind);
  if (!cls || !cls->method) return false;
  StackSlot self(e, v);
  StackSlot result(e);
  Value count = Value::integer(0);
  const bool ok = cls->method(e, *cls, &*self, atom, *result, ArgBlock{&count});
  out = *result;
  return ok;
}

[[noreturn]] void cannotConvertToPrimitive(Engine& e) {
  raiseError(e, "Can't convert to primitive type");
}

// Arrays of strings, the usual pieces to join, need no conversion, so
// nothing can change them meanwhile: their text is measured, then written
// once into the result. Null when an element is anything else.
StringRecord* joinStrings(Engine& engine, const ArrayRecord& array, std::u16string_view sep) {
  if (array.length == 0) return nullptr;
  const std::uint64_t separators = array.length - 1;
  if (!sep.empty() && separators > StringRecord::kMaxLength / sep.size()) return nullptr;
  std::uint64_t total = separators * sep.size();
  bool strings = true;
  array.forEach([&](std::uint64_t index, const Value& v) {
    if (index >= array.length) return;
    if (!v.is(Kind::String)) strings = false;
    else total += v.asString()->length();
  });
  if (!strings || total > StringRecord::kMaxLength) return nullptr;
  StringRecord* result = allocateString(engine, static_cast<std::size_t>(total));
  char16_t* out = result->chars();
  // Index i is preceded by i separators, holes or not.
  std::uint64_t written = 0;
  const auto separateUpTo = [&](std::uint64_t n) {
    if (!sep.empty())
      for (; written < n; ++written) out = std::copy(sep.begin(), sep.end(), out);
  };
  array.forEach([&](std::uint64_t index, const Value& v) {
    if (index >= array.length) return;
    separateUpTo(index);
    const std::u16string_view text = v.asString()->view();
    out = std::copy(text.begin(), text.end(), out);
  });
  separateUpTo(separators);
  return result;
}

} // namespace

std::u16string_view stringText(const Value& v) {
  return v.is(Kind::String) ? v.asString()->view() : std::u16string_view();
}

Value joinArray(Engine& engine, ArrayRecord& array, std::u16string_view separator) {
  // Elements' conversions may run script that changes the separator's string.
  const std::u16string sep(separator);
  auto& busy = engine.joinsInProgress();
  if (std::find(busy.begin(), busy.end(), &array) != busy.end()) return copyString(engine, {});
  // Arrays nested inside arrays recurse here; the bound keeps that well
  // inside a 1 MiB thread stack.
  if (busy.size() >= kMaxJoinDepth) raiseError(engine, "stack overflow");
  busy.push_back(&array);
  struct Leave {
    std::vector<const Cell*>& busy;
    ~Leave() { busy.pop_back(); }
  } leave{busy};

  if (StringRecord* joined = joinStrings(engine, array, separator)) return Value::string(joined);
  StackSlot keep(engine, Value::array(&array));
  std::u16string text;
  const auto appendSeparators = [&](std::uint64_t n) {
    if (sep.empty() || n == 0) return;
    if (n > (StringRecord::kMaxLength - text.size()) / sep.size()) raiseError(engine, "Out of memory");
    for (std::uint64_t k = 0; k < n; ++k) text += sep;
  };
  // Index by index would never end for a long, empty array: step from one
  // stored element to the next, each index followed by a separator but the
  // last.
  std::uint64_t done = 0;
  for (auto next = array.nextIndex(0); next && *next < array.length;
       next = array.nextIndex(done)) {
    appendSeparators(*next - done);
    StackSlot element(engine, *array.get(*next));
    if ((*element).is(Kind::Undefined) || (*element).is(Kind::Null)) {
      text += u"undefined";
    } else {
      const Value part = toStringValue(engine, *element);
      text += part.asString()->view();
    }
    if (text.size() > StringRecord::kMaxLength) raiseError(engine, "Out of memory");
    done = *next + 1;
    if (done < array.length) appendSeparators(1);
  }
  if (done < array.length) appendSeparators(array.length - done - 1);
  return copyString(engine, text);
}

Value toStringValue(Engine& e, const Value& value) {
  // A copy: the calls below reuse the result register, which may hold value.
  const Value v = value;
  switch (v.kind) {
    case Kind::Undefined:
    case Kind::Null:
      return staticText(e, u"undefined");
    case Kind::Boolean:
      return staticText(e, v.booleanValue() ? u"true" : u"false");
    case Kind::Integer: {
      DecimalUnits room;
      return copyString(e, decimalText(v.integerValue(), room));
    }
    case Kind::Float:
      return copyAscii(e, formatFloat(v.floatValue()));
    case Kind::NaN:
      return staticText(e, u"NaN");
    case Kind::String:
      return v;
    case Kind::Array:
    case Kind::Function: {
      Value out;
      if (callKindMember(e, v, kAtomToString, out) && out.is(Kind::String)) return out;
      if (v.is(Kind::Array)) return joinArray(e, *v.asArray(), u",");
      return staticText(e, u"[object Function]");
    }
    case Kind::Object: {
      Value out;
      if (callObjectMember(e, v, kAtomToString, out) && out.is(Kind::String)) return out;
      return staticText(e, u"object");
    }
    case Kind::Name:
      return copyString(e, e.atoms().name(v.atom()));
    case Kind::Native: {
      Value out;
      if (callNativeMember(e, v, kAtomToString, out) && out.is(Kind::String)) return out;
      return staticText(e, u"object");
    }
    default:
      return staticText(e, u"unknown");
  }
}

Value toPrimitive(Engine& e, const Value& value, int hint) {
  // A copy: the calls below reuse the result register, which may hold value.
  const Value v = value;
  switch (v.kind) {
    case Kind::Undefined: case Kind::Null: case Kind::Boolean: case Kind::Integer:
    case Kind::String: case Kind::Float: case Kind::NaN:
      return v;
    case Kind::Object: {
      Value out;
      if (hint == kHintString) {
        if (callObjectMember(e, v, kAtomToString, out) && out.isPrimitive()) return out;
        if (callObjectMember(e, v, kAtomValueOf, out) && out.isPrimitive()) return out;
        cannotConvertToPrimitive(e);
      }
      if (callObjectMember(e, v, kAtomValueOf, out) && out.isPrimitive()) return out;
      return toStringValue(e, v);
    }
    case Kind::Native: {
      NativeCell* cell = v.asNative();
      if (cell->isClosed() || !cell->classRecord()->method) cannotConvertToPrimitive(e);
      Value out;
      if (hint == kHintString) {
        if (callNativeMember(e, v, kAtomToString, out)) return out;
        if (callNativeMember(e, v, kAtomValueOf, out)) return out;
        cannotConvertToPrimitive(e);
      }
      if (callNativeMember(e, v, kAtomValueOf, out)) return out;
      return toStringValue(e, v);
    }
    case Kind::Array:
    case Kind::Function:
      return toStringValue(e, v);
    default:
      cannotConvertToPrimitive(e);
  }
}

Value numberFromText(std::u16string_view text) {
  if (text.empty()) return Value::integer(0);
  const ParsedNumber parsed = parseNumberText(text, 0);
  switch (parsed.kind) {
    case ParsedKind::None: {
      const ScannedFloat f = scanDecimalFloat(text);
      return f.end == 0 ? Value::nan() : Value::number(f.value);
    }
    case ParsedKind::Integer: {
      const char16_t next = parsed.end < text.size() ? text[parsed.end] : u'\0';
      if (next == u'.' || next == u'D' || next == u'E' || next == u'd' || next == u'e')
        return Value::number(scanDecimalFloat(text).value);
      return Value::integer(parsed.integerValue);
    }
    case ParsedKind::Float:
      return Value::number(parsed.floatValue);
  }
  return Value::nan();
}

Value toNumberValue(Engine& e, const Value& v) {
  switch (v.kind) {
    case Kind::Undefined: return Value::nan();
    case Kind::Null: return Value::integer(0);
    case Kind::Boolean: return Value::integer(v.booleanValue() ? 1 : 0);
    case Kind::Integer: case Kind::Float: case Kind::NaN: return v;
    case Kind::String: return numberFromText(v.asString()->view());
    case Kind::Array: case Kind::Object: case Kind::Native: case Kind::Function: {
      Value p = toPrimitive(e, v, kHintNumber);
      // A native hook may answer with an object again; its text ends the chase.
      if (!p.isPrimitive()) p = toStringValue(e, p);
      return toNumberValue(e, p);
    }
    default:
      return Value::nan();
  }
}

bool toBoolean(const Value& v) {
  switch (v.kind) {
    case Kind::Boolean: return v.booleanValue();
    case Kind::Integer: return v.integerValue() != 0;
    case Kind::String: return v.asString()->length() != 0;
    case Kind::Float: return v.floatValue() != 0.0;
    case Kind::Array: case Kind::Object: case Kind::Native: case Kind::Function: return true;
    default: return false;
  }
}

Value toObjectValue(Engine& e, const Value& v) {
  switch (v.kind) {
    case Kind::Boolean: case Kind::Integer: case Kind::Float: case Kind::Array:
    case Kind::Object: case Kind::Native: case Kind::Function: case Kind::NaN:
      return v;
    case Kind::String:
      return copyString(e, v.asString()->view());
    default:
      raiseError(e, "Can't convert to object");
  }
}

std::int64_t toInt64(Engine& e, const Value& v) {
  const Value n = toNumberValue(e, v);
  if (n.is(Kind::Integer)) return n.integerValue();
  if (n.is(Kind::Float) && !std::isinf(n.floatValue())) {
    const double t = std::trunc(n.floatValue());
    // Out of range, the x87 conversion gives its "integer indefinite".
    if (t >= 9223372036854775808.0 || t < -9223372036854775808.0)
      return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(t);
  }
  return 0;
}

std::int32_t toInt32(Engine& e, const Value& v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(toInt64(e, v))));
}

} // namespace plumex::script
