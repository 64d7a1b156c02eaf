#include "script/values/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine_fixture.h"
#include "script/values/array_record.h"
#include "script/values/element_access.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

class Conversions : public EngineTest {};

TEST_F(Conversions, StringTextsOfEveryKind) {
  const struct {
    Value value;
    std::u16string_view text;
    bool isStatic;
  } cases[] = {
      {Value::undefined(), u"undefined", true},
      {Value::null(), u"undefined", true},
      {Value::boolean(true), u"true", true},
      {Value::boolean(false), u"false", true},
      {Value::integer(-9223372036854775807ll - 1), u"-9223372036854775808", false},
      {Value::number(1e21), u"1e+021", false},
      {Value::number(0.5), u"0.5", false},
      {Value::nan(), u"NaN", true},
      {Value::name(kAtomValueOf), u"valueOf", false},
      {Value::make(static_cast<Kind>(8)), u"unknown", true},
      {Value::make(Kind::FrameLink), u"unknown", true},
  };
  for (const auto& c : cases) {
    const Value s = toStringValue(e, c.value);
    EXPECT_EQ(text(s), c.text);
    EXPECT_EQ(s.asString()->isStatic(), c.isStatic) << static_cast<int>(c.value.kind);
  }
  const Value s = str(u"same");
  EXPECT_EQ(toStringValue(e, s).asString(), s.asString());
  EXPECT_EQ(text(toStringValue(e, function([](Engine&, const Value&, ArgBlock) { return Value(); }))),
            u"[object Function]");
  EXPECT_EQ(text(toStringValue(e, Value::object(newTable(e)))), u"[object Object]");
}

TEST_F(Conversions, ArrayTextJoinsElements) {
  ArrayRecord* a = newArray(e, 3);
  a->set(e.heap(), 0, Value::integer(1));
  a->set(e.heap(), 1, Value::undefined());
  a->set(e.heap(), 2, Value::integer(3));
  EXPECT_EQ(text(toStringValue(e, Value::array(a))), u"1,undefined,3");
  EXPECT_EQ(text(joinArray(e, *a, u"-")), u"1-undefined-3");

  a->remove(e.heap(), 1);
  EXPECT_EQ(text(toStringValue(e, Value::array(a))), u"1,,3");

  // Elements past the length are not part of the text; missing ones at the
  // end still get their separators.
  a->set(e.heap(), 7, Value::integer(8));
  a->length = 5;
  EXPECT_EQ(text(toStringValue(e, Value::array(a))), u"1,,3,,");

  // A huge, empty array: four billion separators are refused, not looped over.
  ArrayRecord* huge = newArray(e, 1ull << 40);
  EXPECT_FALSE(runProtected(e, [&] { toStringValue(e, Value::array(huge)); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Out of memory");
  EXPECT_EQ(text(joinArray(e, *huge, u"")), u"");
}

TEST_F(Conversions, ArraysAndFunctionsAskTheirKindsClassFirst) {
  ClassRecord* cls = newClass(e);
  cls->method = [](Engine& en, ClassRecord&, void* self, Atom atom, Value& out, ArgBlock) {
    const Value& v = *static_cast<const Value*>(self);
    if (atom != kAtomToString || !v.is(Kind::Array) || v.asArray()->length != 1) return false;
    out = copyString(en, u"from the class");
    return true;
  };
  e.classForKind(Kind::Array) = cls;
  e.classForKind(Kind::Function) = cls;
  ArrayRecord* one = newArray(e, 1);
  ArrayRecord* two = newArray(e, 2);
  EXPECT_EQ(text(toStringValue(e, Value::array(one))), u"from the class");
  EXPECT_EQ(text(toStringValue(e, Value::array(two))), u",") << "declined: the elements joined";
  EXPECT_EQ(text(toStringValue(e, function([](Engine&, const Value&, ArgBlock) { return Value(); }))),
            u"[object Function]");
}

TEST_F(Conversions, ArrayThatHoldsItselfEndsItsText) {
  ArrayRecord* a = newArray(e, 2);
  a->set(e.heap(), 0, Value::integer(1));
  a->set(e.heap(), 1, Value::array(a));
  EXPECT_EQ(text(toStringValue(e, Value::array(a))), u"1,");
}

TEST_F(Conversions, ObjectTextComesFromItsToStringFunction) {
  PropertyTable* proto = newTable(e);
  proto->set(e, kAtomToString, function([this](Engine&, const Value& self, ArgBlock) {
    EXPECT_TRUE(self.is(Kind::Object));
    return str(u"custom");
  }));
  PropertyTable* obj = newTableOver(e, proto);
  e.result = Value::integer(77);
  EXPECT_EQ(text(toStringValue(e, Value::object(obj))), u"custom");
  EXPECT_EQ(e.result.integerValue(), 77) << "a conversion leaves the result register alone";

  // A toString that returns no string, or that fails, gives "object".
  proto->set(e, kAtomToString, function([](Engine&, const Value&, ArgBlock) { return Value::integer(1); }));
  EXPECT_EQ(text(toStringValue(e, Value::object(obj))), u"object");
  proto->set(e, kAtomToString, function([](Engine& en, const Value&, ArgBlock) -> Value {
    raiseError(en, "boom");
  }));
  EXPECT_EQ(text(toStringValue(e, Value::object(obj))), u"object");
  proto->set(e, kAtomToString, Value::integer(3));
  EXPECT_EQ(text(toStringValue(e, Value::object(obj))), u"object");
}

TEST_F(Conversions, ValuesHeldInTheResultRegisterConvert) {
  // The conversion's own calls reuse the result register.
  PropertyTable* obj = newTable(e);
  obj->set(e, kAtomToString, function([this](Engine&, const Value& self, ArgBlock) {
    return self.is(Kind::Object) ? str(u"self") : str(u"lost");
  }));
  obj->set(e, kAtomValueOf, function([](Engine&, const Value& self, ArgBlock) {
    return self.is(Kind::Object) ? Value::integer(3) : Value::integer(-1);
  }));
  e.result = Value::object(obj);
  EXPECT_EQ(text(toStringValue(e, e.result)), u"self");
  EXPECT_EQ(text(toPrimitive(e, e.result, kHintString)), u"self");
  EXPECT_EQ(toNumberValue(e, e.result).integerValue(), 3);
}

TEST_F(Conversions, JoinKeepsItsSeparatorWhileElementsRunScript) {
  // An element's toString grows the separator string: the join goes on
  // with the separator it was given.
  const Value sep = str(u"--");
  PropertyTable* obj = newTable(e);
  obj->set(e, kAtomToString, function([this, sep](Engine& en, const Value&, ArgBlock) {
    writeStringElement(en, *sep.asString(), Value::integer(4000), Value::integer('!'));
    return str(u"o");
  }));
  ArrayRecord* a = newArray(e, 3);
  for (std::uint64_t i = 0; i < 3; ++i) a->set(e.heap(), i, Value::object(obj));
  EXPECT_EQ(text(joinArray(e, *a, sep.asString()->view())), u"o--o--o");
}

TEST_F(Conversions, DeeplyNestedArraysEndInAnErrorNotACrash) {
  ArrayRecord* inner = newArray(e, 1);
  inner->set(e.heap(), 0, Value::integer(1));
  Value outer = Value::array(inner);
  for (int depth = 0; depth < 100000; ++depth) {
    ArrayRecord* a = newArray(e, 1);
    a->set(e.heap(), 0, outer);
    outer = Value::array(a);
  }
  e.global(e.intern(u"deep")) = outer;
  EXPECT_FALSE(runProtected(e, [&] { toStringValue(e, outer); }));
  EXPECT_EQ(e.errorText(), "Runtime error: stack overflow");
  EXPECT_TRUE(e.joinsInProgress().empty());
  e.collectGarbage();
  EXPECT_EQ(text(toStringValue(e, Value::array(inner))), u"1");
}

TEST_F(Conversions, ToNumberOfEveryKind) {
  EXPECT_TRUE(toNumberValue(e, Value::undefined()).is(Kind::NaN));
  EXPECT_EQ(toNumberValue(e, Value::null()).integerValue(), 0);
  EXPECT_EQ(toNumberValue(e, Value::boolean(true)).integerValue(), 1);
  EXPECT_EQ(toNumberValue(e, Value::boolean(false)).integerValue(), 0);
  EXPECT_TRUE(toNumberValue(e, Value::name(1)).is(Kind::NaN));
  EXPECT_EQ(toNumberValue(e, str(u"0x10")).integerValue(), 16);
  EXPECT_TRUE(toNumberValue(e, str(u"abc")).is(Kind::NaN));

  ArrayRecord* a = newArray(e, 1);
  a->set(e.heap(), 0, str(u" 42"));
  const Value n = toNumberValue(e, Value::array(a));
  ASSERT_TRUE(n.is(Kind::Integer));
  EXPECT_EQ(n.integerValue(), 42);

  PropertyTable* obj = newTable(e);
  obj->set(e, kAtomValueOf, function([](Engine&, const Value&, ArgBlock) { return Value::number(2.5); }));
  EXPECT_EQ(toNumberValue(e, Value::object(obj)).floatValue(), 2.5);
  // Without valueOf the object's text is read: "[object Object]" is no number.
  EXPECT_TRUE(toNumberValue(e, Value::object(newTable(e))).is(Kind::NaN));
}

TEST_F(Conversions, TruthAndTypeTables) {
  const struct {
    Value value;
    bool truth;
    std::u16string_view type;
  } cases[] = {
      {Value::undefined(), false, u"undefined"}, {Value::null(), false, u"object"},
      {Value::boolean(false), false, u"boolean"}, {Value::boolean(true), true, u"boolean"},
      {Value::integer(0), false, u"number"},      {Value::integer(-1), true, u"number"},
      {str(u""), false, u"string"},               {str(u"0"), true, u"string"},
      {Value::number(0.0), false, u"number"},     {Value::number(-0.0), false, u"number"},
      {Value::number(0.1), true, u"number"},      {Value::array(newArray(e)), true, u"object"},
      {Value::object(newTable(e)), true, u"object"}, {Value::make(static_cast<Kind>(9)), false, u""},
      {Value::name(0), false, u""},               {Value::nan(), false, u"number"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toBoolean(c.value), c.truth) << static_cast<int>(c.value.kind);
    EXPECT_EQ(typeOfText(c.value), c.type) << static_cast<int>(c.value.kind);
  }
  EXPECT_TRUE(Value::number(std::nan("")).is(Kind::NaN)) << "not-a-number is never a Float";
}

TEST_F(Conversions, ToPrimitiveAsksTheObject) {
  PropertyTable* obj = newTable(e);
  obj->set(e, kAtomValueOf, function([](Engine&, const Value&, ArgBlock) { return Value::integer(9); }));
  obj->set(e, kAtomToString, function([](Engine&, const Value& self, ArgBlock) { return self; }));
  // Hint string: toString gives no primitive, so valueOf answers.
  EXPECT_EQ(toPrimitive(e, Value::object(obj), kHintString).integerValue(), 9);
  EXPECT_EQ(toPrimitive(e, Value::object(obj), kHintNumber).integerValue(), 9);

  obj->set(e, kAtomValueOf, function([](Engine&, const Value& self, ArgBlock) { return self; }));
  EXPECT_FALSE(runProtected(e, [&] { toPrimitive(e, Value::object(obj), kHintString); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Can't convert to primitive type");
  // With the number hint the object's text is the last resort.
  EXPECT_EQ(text(toPrimitive(e, Value::object(obj), kHintNumber)), u"object");

  for (Value v : {Value::name(2), Value::make(static_cast<Kind>(8))}) {
    EXPECT_FALSE(runProtected(e, [&] { toPrimitive(e, v, kHintNumber); }));
    EXPECT_EQ(e.errorText(), "Runtime error: Can't convert to primitive type");
  }
  const Value s = str(u"x");
  EXPECT_EQ(toPrimitive(e, s, kHintString).asString(), s.asString());
}

TEST_F(Conversions, ToObjectCopiesStringsAndRefusesTheRest) {
  const Value s = str(u"abc");
  const Value copy = toObjectValue(e, s);
  ASSERT_NE(copy.asString(), s.asString());
  writeStringElement(e, *copy.asString(), Value::integer(0), Value::integer('X'));
  EXPECT_EQ(text(s), u"abc");
  EXPECT_EQ(text(copy), u"Xbc");

  const Value same = s;  // a second variable shares the record
  writeStringElement(e, *same.asString(), Value::integer(1), str(u"Y"));
  EXPECT_EQ(text(s), u"aYc");

  EXPECT_EQ(toObjectValue(e, Value::integer(5)).integerValue(), 5);
  for (Value v : {Value::undefined(), Value::null(), Value::name(0)}) {
    EXPECT_FALSE(runProtected(e, [&] { toObjectValue(e, v); }));
    EXPECT_EQ(e.errorText(), "Runtime error: Can't convert to object");
  }
}

TEST_F(Conversions, IntegerConversions) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    Value value;
    std::int32_t i32;
    std::int64_t i64;
  } cases[] = {
      {Value::number(4294967297.9), 1, 4294967297},
      {Value::number(-2.7), -2, -2},
      {Value::number(inf), 0, 0},
      {Value::number(-inf), 0, 0},
      {Value::nan(), 0, 0},
      {Value::integer(0x1'8000'0000ll), std::numeric_limits<std::int32_t>::min(), 0x1'8000'0000ll},
      {Value::number(1e30), 0, std::numeric_limits<std::int64_t>::min()},
      {str(u"0x10"), 16, 16},
      {Value::boolean(true), 1, 1},
      {Value::undefined(), 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toInt32(e, c.value), c.i32) << static_cast<int>(c.value.kind);
    EXPECT_EQ(toInt64(e, c.value), c.i64) << static_cast<int>(c.value.kind);
  }
}

// A native class whose toString and valueOf answer for instances.
struct Greeter {
  static bool method(Engine& en, ClassRecord&, void* self, Atom atom, Value& out, ArgBlock) {
    if (!self) return false;
    if (atom == kAtomToString) {
      out = copyString(en, u"hello");
      return true;
    }
    if (atom == kAtomValueOf) {
      out = Value::integer(7);
      return true;
    }
    return false;
  }
};

TEST_F(Conversions, NativeObjectsAnswerThroughTheirClass) {
  ClassRecord* cls = newClass(e);
  cls->method = &Greeter::method;
  int data = 0;
  const Value obj = newNative(e, cls, &data);
  const Value classObject = newNative(e, cls, nullptr);
  EXPECT_EQ(text(toStringValue(e, obj)), u"hello");
  EXPECT_EQ(toNumberValue(e, obj).integerValue(), 7);
  EXPECT_EQ(text(toPrimitive(e, obj, kHintString)), u"hello");
  EXPECT_EQ(text(toStringValue(e, classObject)), u"object");

  obj.asNative()->close(e.heap());
  EXPECT_EQ(text(toStringValue(e, obj)), u"object");
  EXPECT_FALSE(runProtected(e, [&] { toPrimitive(e, obj, kHintString); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Can't convert to primitive type");
}

} // namespace
} // namespace plumex::script
