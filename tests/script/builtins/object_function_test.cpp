// The Object and Function classes and the global "trace" through their
// hooks; the Function constructor with the virtual machine, since it
// compiles and runs text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../binding/hook_fixture.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/property_table.h"
#include "script/vm/engine_interface.h"

namespace plumex::script {
namespace {

using testing::HookTest;

class ObjectClass : public HookTest {
protected:
  ObjectClass() {
    EXPECT_TRUE(runProtected(e, [&] {
      builtins::registerObjectClass(e);
      builtins::registerTraceFunction(e);
    }));
  }
  bool isNewEmptyObject(const Value& v) { return v.is(Kind::Object) && v.asObject()->count() == 0; }
};

TEST_F(ObjectClass, CalledAndConstructed) {
  const Value object = Value::object(newTable(e));
  const Value array = Value::array(newArray(e));
  const Value s = str(u"text");
  // Called: nothing, or a lone Undefined or Null, makes a new object.
  EXPECT_TRUE(isNewEmptyObject(callClass("Object")));
  EXPECT_TRUE(isNewEmptyObject(callClass("Object", {Value::undefined()})));
  EXPECT_TRUE(isNewEmptyObject(callClass("Object", {Value::null()})));
  EXPECT_EQ(callClass("Object", {Value::integer(5)}).integerValue(), 5);
  EXPECT_EQ(callClass("Object", {object, Value::integer(1)}).asObject(), object.asObject());
  EXPECT_FALSE(runProtected(e, [&] { callClass("Object", {Value::null(), Value::integer(1)}); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Can't convert to object");

  // Constructed: the same values come back, a string as a copy.
  EXPECT_TRUE(isNewEmptyObject(construct("Object")));
  EXPECT_TRUE(isNewEmptyObject(construct("Object", {Value::null(), Value::integer(1)})));
  const Value five = construct("Object", {Value::integer(5)});
  EXPECT_TRUE(five.is(Kind::Integer));
  EXPECT_EQ(five.integerValue(), 5);
  const Value copy = construct("Object", {s});
  EXPECT_NE(copy.asString(), s.asString());
  EXPECT_EQ(text(copy), u"text");
  EXPECT_EQ(construct("Object", {object}).asObject(), object.asObject());
  EXPECT_EQ(construct("Object", {array}).asArray(), array.asArray());
  EXPECT_TRUE(construct("Object", {Value::nan()}).is(Kind::NaN));
}

TEST_F(ObjectClass, MembersOfObjectsAndOfTheClassObject) {
  const Value o = Value::object(newTable(e));
  EXPECT_EQ(text(*method(o, "toString")), u"[object Object]");
  EXPECT_EQ(text(toStringValue(e, o)), u"[object Object]");
  EXPECT_TRUE(method(o, "toSource")->is(Kind::Undefined));
  EXPECT_EQ(method(o, "valueOf")->asObject(), o.asObject());
  EXPECT_FALSE(method(o, "hasOwnProperty"));

  const Value cls = global("Object");
  EXPECT_EQ(text(*method(cls, "toSource")), u"new Object()");
  EXPECT_EQ(text(*method(cls, "toString")), u"[type Function]");
  EXPECT_EQ(method(cls, "valueOf")->asNative(), cls.asNative());
  EXPECT_FALSE(method(cls, "keys"));
  // No properties of its own: members stored on the class object go to
  // its prototype.
  EXPECT_FALSE(get(cls, "anything"));
  EXPECT_FALSE(set(cls, "anything", Value::integer(1)));
  EXPECT_EQ(e.classForKind(Kind::Object), &classNamed("Object"));
}

TEST_F(ObjectClass, TraceWritesItsArgumentsAsOneLine) {
  const Value o = Value::object(newTable(e));
  o.asObject()->set(e, kAtomToString, function([&](Engine& en, const Value&, ArgBlock) {
    return copyString(en, u"custom");
  }));
  callClass("trace", {str(u"a"), Value::integer(1), Value::null(), Value::boolean(true), o,
                      str(u"caf\u00e9 \u20ac")});
  callClass("trace");
  callClass("trace", {str(u"two\nlines")});
  EXPECT_EQ(takeWarnings(), (std::vector<std::string>{"a1undefinedtruecustomcaf\xe9 \x80", "", "two\nlines"}));
}

// With the virtual machine: the Function constructor runs the compiler.
class FunctionClass : public ::testing::Test {
protected:
  FunctionClass() : engine_(vm::createEngine(setup())), e(*engine_) {}

  static vm::EngineSetup setup() {
    vm::EngineSetup s;
    s.registerClasses = [](Engine& en) {
      builtins::registerTraceFunction(en);
      builtins::registerArrayClass(en);
      builtins::registerFunctionClass(en);
      builtins::registerObjectClass(en);
    };
    return s;
  }

  Value global(std::string_view name) { return e.global(e.internAnsi(name)); }
  Value makeFunction(std::vector<Value> args) {
    args.insert(args.begin(), Value::integer(static_cast<std::int64_t>(args.size())));
    EXPECT_TRUE(vm::construct(e, "Function", ArgBlock{args.data()})) << e.errorText();
    return e.result;
  }
  Value call(const Value& f, std::vector<Value> args) {
    EXPECT_TRUE(callValue(e, Value::null(), f, args)) << e.errorText();
    return e.result;
  }
  Value str(std::string_view ansi) { return makeString(e, ansi); }

  std::unique_ptr<Engine> engine_;
  Engine& e;
};

TEST_F(FunctionClass, ConstructedFromParametersAndBody) {
  const Value add = makeFunction({str("a"), str("b"), str("return a + b;")});
  ASSERT_TRUE(add.is(Kind::Function));
  EXPECT_EQ(call(add, {Value::integer(2), Value::integer(3)}).integerValue(), 5);

  // Parameters that are not strings are left out; a body that is not a
  // string is empty.
  const Value first = makeFunction({Value::integer(1), str("x"), str("return x;")});
  EXPECT_EQ(call(first, {Value::integer(4)}).integerValue(), 4);
  EXPECT_TRUE(call(makeFunction({str("x"), Value::integer(5)}), {Value::integer(1)}).is(Kind::Undefined));
  EXPECT_EQ(call(makeFunction({str("return 7")}), {}).integerValue(), 7);
  const Value empty = makeFunction({});
  ASSERT_TRUE(empty.is(Kind::Function));
  EXPECT_TRUE(call(empty, {}).is(Kind::Undefined));
  // Each is a function of its own.
  EXPECT_NE(add.asFunction(), first.asFunction());
  EXPECT_EQ(call(add, {str("1"), Value::integer(2)}).asString()->view(), u"12");
}

TEST_F(FunctionClass, TextThatDoesNotCompileGivesNull) {
  EXPECT_TRUE(makeFunction({str("a"), str("return a +;")}).is(Kind::Null));
  EXPECT_FALSE(vm::lastCompileMessages(e).empty());
  // Later constructions are not disturbed.
  EXPECT_EQ(call(makeFunction({str("return 1")}), {}).integerValue(), 1);
}

TEST_F(FunctionClass, MembersAndNoCallHook) {
  const Value cls = global("Function");
  ClassRecord& record = *cls.asNative()->classRecord();
  EXPECT_EQ(record.call, nullptr);
  EXPECT_EQ(e.classForKind(Kind::Function), &record);
  const Value f = makeFunction({str("return 1")});
  Value self = f;
  Value out;
  Value count = Value::integer(0);
  const auto ask = [&](void* receiver, std::string_view name) {
    out = Value();
    return record.method(e, record, receiver, e.internAnsi(name), out, ArgBlock{&count});
  };
  ASSERT_TRUE(ask(&self, "toString"));
  EXPECT_EQ(out.asString()->view(), u"[object Function]");
  ASSERT_TRUE(ask(nullptr, "toString"));
  EXPECT_EQ(out.asString()->view(), u"[object Function]");
  ASSERT_TRUE(ask(&self, "valueOf"));
  EXPECT_EQ(out.asFunction(), f.asFunction());
  ASSERT_TRUE(ask(nullptr, "valueOf"));
  EXPECT_EQ(out.asNative(), cls.asNative());
  EXPECT_FALSE(ask(&self, "apply"));
  EXPECT_FALSE(ask(&self, "toSource"));
}

} // namespace
} // namespace plumex::script
