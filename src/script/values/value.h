#pragma once
// The 16-byte script value: a kind tag, a word without meaning, and an
// 8-byte payload read according to the kind.

#include <cmath>
#include <cstdint>
#include <string_view>

namespace plumex::script {

enum class Kind : std::int32_t {
  Hole = -1,  // array storage only: an index that holds no element
  Undefined = 0,
  Null = 1,
  Boolean = 2,
  Integer = 3,
  String = 4,
  Float = 5,
  Array = 6,
  Object = 7,
  Name = 10,
  Native = 11,
  Function = 12,
  NaN = 13,
  FrameLink = 14,
  FrameInfo = 15,
};

using Atom = std::int32_t;

class StringRecord;
class ArrayRecord;
class PropertyTable;
class NativeCell;
class FunctionCell;

struct Value {
  Kind kind = Kind::Undefined;
  std::uint32_t reserved = 0;
  union Payload {
    std::int64_t i;
    double d;
    void* p;
    std::int32_t i32;
  } u{0};

  static Value undefined() { return {}; }
  static Value null() { return make(Kind::Null); }
  static Value nan() { return make(Kind::NaN); }
  static Value boolean(bool b) {
    Value v = make(Kind::Boolean);
    v.u.i32 = b ? 1 : 0;
    return v;
  }
  static Value integer(std::int64_t i) {
    Value v = make(Kind::Integer);
    v.u.i = i;
    return v;
  }
  // Not-a-number is always the kind NaN, never a Float.
  static Value number(double d) {
    if (std::isnan(d)) return nan();
    Value v = make(Kind::Float);
    v.u.d = d;
    return v;
  }
  static Value name(Atom atom) {
    Value v = make(Kind::Name);
    v.u.i32 = atom;
    return v;
  }
  static Value string(StringRecord* s) { return pointer(Kind::String, s); }
  static Value array(ArrayRecord* a) { return pointer(Kind::Array, a); }
  static Value object(PropertyTable* t) { return pointer(Kind::Object, t); }
  static Value native(NativeCell* n) { return pointer(Kind::Native, n); }
  static Value function(FunctionCell* f) { return pointer(Kind::Function, f); }
  static Value pointer(Kind k, void* p) {
    Value v = make(k);
    v.u.p = p;
    return v;
  }
  static Value make(Kind k) {
    Value v;
    v.kind = k;
    return v;
  }

  bool is(Kind k) const { return kind == k; }
  bool isNumber() const {
    return kind == Kind::Integer || kind == Kind::Float || kind == Kind::NaN;
  }
  // A primitive in the sense of the conversions: kinds 0 to 5 and NaN.
  bool isPrimitive() const {
    return (kind >= Kind::Undefined && kind <= Kind::Float) || kind == Kind::NaN;
  }
  bool refersToHeap() const {
    switch (kind) {
      case Kind::String: case Kind::Array: case Kind::Object:
      case Kind::Native: case Kind::Function:
        return true;
      default:
        return false;
    }
  }

  std::int64_t integerValue() const { return u.i; }
  double floatValue() const { return u.d; }
  bool booleanValue() const { return u.i32 != 0; }
  Atom atom() const { return u.i32; }
  StringRecord* asString() const { return static_cast<StringRecord*>(u.p); }
  ArrayRecord* asArray() const { return static_cast<ArrayRecord*>(u.p); }
  PropertyTable* asObject() const { return static_cast<PropertyTable*>(u.p); }
  NativeCell* asNative() const { return static_cast<NativeCell*>(u.p); }
  FunctionCell* asFunction() const { return static_cast<FunctionCell*>(u.p); }
};

static_assert(sizeof(Value) == 16, "a script value is a 16-byte record");

// The "typeof" text of a kind ("" for kinds without one).
std::u16string_view typeOfText(const Value& v);

} // namespace plumex::script
