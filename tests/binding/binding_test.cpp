// The binding helpers through a small native class: a counter with a
// method, a read-only property, constants, an event property and a close
// method, whose instances are closable holders.

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "binding/event_handler.h"
#include "binding/instance_holder.h"
#include "script/values/conversions.h"

#include <gtest/gtest.h>

#include "hook_fixture.h"

namespace plumex::binding {
namespace {

using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

int finalized = 0;

struct Counter {
  std::int64_t count = 0;
  Value self;  // its own native value, the `this` of its events
  EventHandler onChange;
  ~Counter() { ++finalized; }
  void mark(script::Tracer& t) const {
    t.mark(self);
    onChange.mark(t);
  }
};
using Holder = InstanceHolder<Counter>;

enum Member { Increment, Close, ValueProp, OnChange, Clone };
constexpr std::string_view kMembers[] = {"increment", "close", "value", "onChange", "clone"};
constexpr Constant kConstants[] = {{"$COUNTER_LIMIT", 100}, {"$COUNTER_NONE", -1}};

Value newCounter(Engine& e, ClassRecord& cls, std::int64_t start) {
  auto counter = std::make_unique<Counter>();
  counter->count = start;
  Counter* c = counter.get();
  c->self = newInstance(e, cls, std::make_unique<Holder>(std::move(counter)));
  return c->self;
}

void constructCounter(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const Args args(block);
  const auto start = args.has(0) ? args.integer(0) : std::optional<std::int64_t>(0);
  result = start ? newCounter(e, cls, *start) : Value::null();
}

void callCounter(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructCounter(e, cls, block, result);
}

bool counterMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  if (!self) return classObjectMethod(e, cls, atom, result);
  const Args args(block);
  Counter* c = Holder::from(self);
  switch (members(cls).find(atom)) {
    case Increment: {
      const auto by = args.has(0) ? args.integer(0) : std::optional<std::int64_t>(1);
      if (!c || !by) {
        result = Value::null();
        return true;
      }
      c->count += *by;
      const Value now = Value::integer(c->count);
      c->onChange.fire(e, c->self, {&now, 1});
      result = now;
      return true;
    }
    case Close:
      result = Value::boolean(c != nullptr);
      Holder::holder(self)->close();
      return true;
    case Clone: {
      // An object of a class found by its name, as a method of another
      // class makes one.
      auto copy = std::make_unique<Counter>();
      copy->count = c ? c->count : 0;
      Counter* raw = copy.get();
      result = newInstance(e, "Counter", std::make_unique<Holder>(std::move(copy)));
      raw->self = result;
      return true;
    }
    default:
      return false;
  }
}

bool counterProperty(Engine&, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  Counter* c = Holder::from(self);
  switch (members(cls).find(atom)) {
    case ValueProp:
      if (c && !set) io = Value::integer(c->count);
      return true;  // read-only: a store is ignored
    case OnChange:
      return c ? c->onChange.property(set, io) : true;
    default:
      return false;
  }
}

void registerCounter(Engine& e) {
  registerClass(e, {.name = "Counter",
                    .members = kMembers,
                    .call = callCounter,
                    .method = counterMethod,
                    .property = counterProperty,
                    .construct = constructCounter,
                    .finalizeInstance = Holder::finalize,
                    .markInstance = Holder::mark,
                    .constants = kConstants});
}

class Binding : public script::testing::HookTest {
protected:
  Binding() {
    finalized = 0;
    EXPECT_TRUE(script::runProtected(e, [&] { registerCounter(e); }));
  }
  // A function that records its `this` and first argument.
  Value recorder() {
    return function([this](Engine&, const Value& self, ArgBlock args) {
      calls.emplace_back(self, args.count() > 0 ? args[0] : Value());
      return Value::integer(7);
    });
  }
  std::vector<std::pair<Value, Value>> calls;
};

TEST_F(Binding, RegistrationInstallsClassObjectConstantsAndMembers) {
  const Value cls = global("Counter");
  ASSERT_TRUE(cls.is(Kind::Native));
  EXPECT_TRUE(cls.asNative()->isClassObject());
  EXPECT_EQ(global("$COUNTER_LIMIT").integerValue(), 100);
  EXPECT_TRUE(global("$COUNTER_NONE").is(Kind::Integer));
  EXPECT_EQ(global("$COUNTER_NONE").integerValue(), -1);

  const MemberAtoms& atoms = members(classNamed("Counter"));
  for (std::size_t i = 0; i < std::size(kMembers); ++i) {
    EXPECT_EQ(atoms.find(e.internAnsi(kMembers[i])), static_cast<int>(i)) << kMembers[i];
    EXPECT_EQ(atoms[i], e.internAnsi(kMembers[i]));
  }
  EXPECT_EQ(atoms.find(e.internAnsi("Increment")), -1);
  EXPECT_EQ(atoms.find(script::kAtomToString), -1);

  // The class object's answers, also through the conversions.
  EXPECT_EQ(text(*method(cls, "toString")), u"[object Counter]");
  EXPECT_EQ(text(script::toStringValue(e, cls)), u"[object Counter]");
  const Value same = *method(cls, "valueOf");
  EXPECT_EQ(same.asNative(), cls.asNative());
  EXPECT_FALSE(method(cls, "increment"));
}

TEST_F(Binding, ClassObjectTextMayBeTheClassesOwn) {
  ASSERT_TRUE(script::runProtected(e, [&] {
    registerClass(e, {.name = "Encryption", .method = counterMethod, .objectText = "[object Encrpytion]"});
  }));
  EXPECT_EQ(text(script::toStringValue(e, global("Encryption"))), u"[object Encrpytion]");
}

TEST_F(Binding, InstancesAnswerMethodsAndReadOnlyProperties) {
  const Value c = construct("Counter", {Value::integer(5)});
  ASSERT_TRUE(c.is(Kind::Native));
  EXPECT_TRUE(script::isInstanceOf(e, c, u"Counter"));
  EXPECT_EQ(method(c, "increment")->integerValue(), 6);
  EXPECT_EQ(method(c, "increment", {Value::integer(10)})->integerValue(), 16);
  EXPECT_EQ(get(c, "value")->integerValue(), 16);
  EXPECT_TRUE(set(c, "value", Value::integer(1)));
  EXPECT_EQ(get(c, "value")->integerValue(), 16);

  // Arguments of the wrong kind: the failure value, no warning.
  EXPECT_TRUE(method(c, "increment", {str(u"3")})->is(Kind::Null));
  EXPECT_TRUE(construct("Counter", {Value::number(1.5)}).is(Kind::Null));
  EXPECT_TRUE(takeWarnings().empty());

  // Names the class does not have are left to the engine.
  EXPECT_FALSE(method(c, "reset"));
  EXPECT_FALSE(get(c, "other"));
  EXPECT_EQ(callClass("Counter", {Value::integer(2)}).asNative()->classRecord(), &classNamed("Counter"));
}

TEST_F(Binding, ClosingKeepsTheObjectButNotItsData) {
  Value c = construct("Counter");
  const script::Pin keep(e, c);
  EXPECT_TRUE(method(c, "close")->booleanValue());
  EXPECT_EQ(finalized, 1);
  EXPECT_FALSE(method(c, "close")->booleanValue());
  EXPECT_TRUE(method(c, "increment")->is(Kind::Null));
  EXPECT_TRUE(get(c, "value")->is(Kind::Undefined));
  EXPECT_TRUE(get(c, "onChange")->is(Kind::Undefined));
  // The holder goes with the object, the counter is not destroyed twice.
  e.collectGarbage();
  EXPECT_EQ(finalized, 1);
}

TEST_F(Binding, UnreachableInstancesAreFinalisedOnce) {
  construct("Counter");
  construct("Counter");
  e.collectGarbage();
  EXPECT_EQ(finalized, 2);
  e.collectGarbage();
  EXPECT_EQ(finalized, 2);
}

TEST_F(Binding, EventPropertyKeepsFunctionsOnly) {
  const Value c = construct("Counter");
  EXPECT_TRUE(get(c, "onChange")->is(Kind::Undefined));
  const Value handler = recorder();
  EXPECT_TRUE(set(c, "onChange", handler));
  EXPECT_EQ(get(c, "onChange")->asFunction(), handler.asFunction());
  EXPECT_TRUE(set(c, "onChange", Value::integer(3)));
  EXPECT_EQ(get(c, "onChange")->asFunction(), handler.asFunction());

  // Fired with the object as this and the new count.
  method(c, "increment", {Value::integer(4)});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first.asNative(), c.asNative());
  EXPECT_EQ(calls[0].second.integerValue(), 4);
}

TEST_F(Binding, HandlersLiveAsLongAsTheirObject) {
  const Value c = construct("Counter");
  const script::Pin keep(e, c);
  set(c, "onChange", recorder());
  // Nothing but the counter refers to the handler.
  e.collectGarbage();
  method(c, "increment");
  EXPECT_EQ(calls.size(), 1u);

  // An object whose handler refers back to it still goes.
  const Value other = construct("Counter");
  const Value handler = recorder();
  handler.asFunction()->setTable(script::newTable(e));
  handler.asFunction()->table()->set(e, e.internAnsi("owner"), other);
  set(other, "onChange", handler);
  const int before = finalized;
  e.collectGarbage();
  EXPECT_EQ(finalized, before + 1);
}

TEST_F(Binding, ClassEventHandlerIsPinnedWhileSet) {
  ClassEventHandler h;
  Value io = recorder();
  h.property(e, true, io);
  e.collectGarbage();
  ASSERT_TRUE(h.isSet());
  EXPECT_TRUE(h.fire(e, Value::null(), {}));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(e.result.integerValue(), 7);

  // Per-class handlers are cleared by other values.
  io = Value::integer(1);
  h.property(e, true, io);
  EXPECT_FALSE(h.isSet());
  EXPECT_FALSE(h.fire(e, Value::null(), {}));
  h.property(e, false, io);
  EXPECT_TRUE(io.is(Kind::Undefined));

  // Keeping instead, and a failing handler.
  io = function([](Engine& en, const Value&, ArgBlock) -> Value { script::raiseError(en, "boom"); });
  h.property(e, true, io);
  io = Value::integer(1);
  h.property(e, true, io, OtherStores::Keep);
  EXPECT_FALSE(h.fire(e, Value::null(), {}));
  EXPECT_EQ(e.errorText(), "Runtime error: boom");
}

TEST_F(Binding, InstancesOfAClassNamedByItsGlobal) {
  const Value c = construct("Counter", {Value::integer(9)});
  const Value copy = *method(c, "clone");
  ASSERT_TRUE(script::isInstanceOf(e, copy, u"Counter"));
  EXPECT_NE(copy.asNative(), c.asNative());
  EXPECT_EQ(get(copy, "value")->integerValue(), 9);

  // A script replaced the global: no class, and the data is not leaked.
  e.global(e.internAnsi("Counter")) = Value::integer(0);
  const int before = finalized;
  EXPECT_EQ(findClass(e, "Counter"), nullptr);
  EXPECT_TRUE(newInstance(e, "Counter", std::make_unique<Counter>()).is(Kind::Null));
  EXPECT_EQ(finalized, before + 1);
}

TEST_F(Binding, ArgumentsByPosition) {
  const Value s = str(u"caf\u00e9");
  std::vector<Value> b = block({Value::integer(-3), Value::number(2.9), s, Value::boolean(false)});
  const Args args(ArgBlock{b.data()});
  EXPECT_EQ(args.size(), 4u);
  EXPECT_TRUE(args[4].is(Kind::Undefined));
  EXPECT_EQ(args.values().size(), 4u);

  EXPECT_EQ(args.integer(0), -3);
  EXPECT_EQ(args.integer(1), std::nullopt);
  EXPECT_EQ(args.integer(9), std::nullopt);
  EXPECT_EQ(args.text(2), "caf\xe9");
  EXPECT_EQ(args.text(0), std::nullopt);
  EXPECT_EQ(args.ofKind(3, Kind::Boolean), &b[4]);
  EXPECT_EQ(args.function(0), nullptr);

  EXPECT_EQ(args.int32(e, 1, 5), 2);
  EXPECT_EQ(args.int64(e, 2, 5), 0);  // no digits
  EXPECT_EQ(args.int32(e, 4, 5), 5);
  EXPECT_FALSE(args.boolean(3, true));
  EXPECT_TRUE(args.boolean(2, false));
  EXPECT_TRUE(args.boolean(7, true));

  // The array literal's negative count means nothing to other classes.
  std::vector<Value> literal{Value::integer(-2), Value::integer(1), Value::integer(2)};
  EXPECT_EQ(Args(ArgBlock{literal.data()}).size(), 0u);
}

TEST_F(Binding, ArgumentOfAGivenClass) {
  const Value c = construct("Counter");
  std::vector<Value> b = block({c, global("Counter"), Value::integer(1)});
  const Args args(ArgBlock{b.data()});
  EXPECT_EQ(args.instance<Holder>(e, 0, u"Counter"), c.asNative()->instance());
  EXPECT_EQ(args.instance<Holder>(e, 1, u"Counter"), nullptr);  // the class object
  EXPECT_EQ(args.instance<Holder>(e, 2, u"Counter"), nullptr);
  EXPECT_EQ(args.instance<Holder>(e, 0, u"Array"), nullptr);
}

TEST_F(Binding, GlobalFunctionsAndCallability) {
  ASSERT_TRUE(script::runProtected(e, [&] {
    registerFunction(e, "twice", [](Engine&, ClassRecord&, void*, Value& result, ArgBlock args) {
      result = Value::integer(args.count() > 0 ? args[0].integerValue() * 2 : -1);
    });
  }));
  const Value twice = global("twice");
  EXPECT_TRUE(isCallable(twice));
  const Value arg = Value::integer(21);
  ASSERT_TRUE(script::callValue(e, Value::null(), twice, {&arg, 1}));
  EXPECT_EQ(e.result.integerValue(), 42);

  const Value c = construct("Counter");
  EXPECT_TRUE(isCallable(c));
  EXPECT_TRUE(isCallable(recorder()));
  EXPECT_FALSE(isCallable(str(u"f")));
  // Released as a pinned value, the object is closed for the engine too.
  script::Pin(e, c).reset();
  EXPECT_FALSE(isCallable(c));
}

} // namespace
} // namespace plumex::binding
