#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "script/values/atoms.h"
#include "script/values/native_cell.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

class Engines : public EngineTest {};

TEST(NameHash, SharedHashOverBytes) {
  EXPECT_EQ(hashName(""), 0u);
  EXPECT_EQ(hashName("a"), 0x61u);
  EXPECT_EQ(hashName("ab"), 0xC42u);  // (0x61 << 5) ^ 0x62
  std::uint32_t h = 0;
  for (unsigned char c : std::string("toString")) h = (h >> 7) ^ (h >> 16) ^ c ^ (h << 5);
  EXPECT_EQ(hashName("toString"), h);
  EXPECT_EQ(hashName("\xE9"), 0xE9u) << "bytes count as unsigned";
}

TEST_F(Engines, AtomsAndGlobals) {
  EXPECT_EQ(e.atomName(kAtomProto), "__proto__");
  EXPECT_EQ(e.atomName(kAtomPrototype), "prototype");
  EXPECT_EQ(e.atomName(kAtomToSource), "toSource");
  EXPECT_EQ(e.atomName(kAtomToString), "toString");
  EXPECT_EQ(e.atomName(kAtomValueOf), "valueOf");
  EXPECT_EQ(e.atomName(-1), "???");
  EXPECT_EQ(e.atomName(100000), "???");

  const Atom a = e.internAnsi("caf\xE9");
  EXPECT_EQ(a, 5);
  EXPECT_EQ(e.intern(u"caf\u00E9"), a);
  EXPECT_EQ(e.atomName(a), "caf\xE9");
  EXPECT_FALSE(e.atoms().find(u"nothing").has_value());

  // Globals start Undefined and survive the growth of the atom table.
  e.global(a) = Value::integer(42);
  Atom last = a;
  for (int i = 0; i < 5000; ++i) last = e.intern(u"g" + std::u16string(1, static_cast<char16_t>(0x4000 + i)));
  EXPECT_TRUE(e.global(last).is(Kind::Undefined));
  EXPECT_EQ(e.global(a).integerValue(), 42);
}

TEST_F(Engines, CallValueRunsFunctionsAndNativeHooks) {
  const Value add = function([](Engine&, const Value& self, ArgBlock args) {
    EXPECT_EQ(self.integerValue(), 100);
    return Value::integer(args.count() == 2 ? args[0].integerValue() + args[1].integerValue() : -1);
  });
  const Value args[] = {Value::integer(2), Value::integer(3)};
  EXPECT_TRUE(callValue(e, Value::integer(100), add, args));
  EXPECT_EQ(e.result.integerValue(), 5);

  ClassRecord* cls = newClass(e);
  cls->call = [](Engine&, ClassRecord&, void* instance, Value& out, ArgBlock a) {
    out = Value::integer(instance ? -1 : a.count());
  };
  EXPECT_TRUE(callValue(e, Value::null(), newNative(e, cls, nullptr), args));
  EXPECT_EQ(e.result.integerValue(), 2);
  // The arguments as a hook's block: the count first.
  Value block[] = {Value::integer(2), Value::integer(30), Value::integer(12)};
  EXPECT_TRUE(callWithArgBlock(e, Value::integer(100), add, ArgBlock{block}));
  EXPECT_EQ(e.result.integerValue(), 42);

  for (Value v : {Value::integer(1), Value::object(newTable(e)), newNative(e, newClass(e), nullptr)}) {
    e.result = Value::integer(9);
    EXPECT_FALSE(callValue(e, Value::null(), v, {}));
    EXPECT_EQ(e.errorText(), "Warning: call a undefined function");
    EXPECT_TRUE(e.result.is(Kind::Undefined));
  }
}

TEST_F(Engines, CallsMayTakeTheirValuesFromTheResultRegister) {
  // A protected entry clears the result register; what the call was given
  // from it must survive that.
  const Value echo = function([](Engine&, const Value& self, ArgBlock args) {
    return args.count() == 1 && self.is(Kind::Integer) ? args[0] : Value::integer(-1);
  });
  e.result = echo;
  EXPECT_TRUE(callValue(e, Value::integer(1), e.result, std::span<const Value>(&e.result, 1)));
  EXPECT_TRUE(e.result.is(Kind::Function));

  e.result = Value::integer(5);
  EXPECT_TRUE(callValue(e, e.result, echo, std::span<const Value>(&e.result, 1)));
  EXPECT_EQ(e.result.integerValue(), 5);
}

TEST_F(Engines, RaisedErrorsEndTheEntryAndRestoreItsState) {
  Value* sp = e.stackPosition();
  const Value thrower = function([](Engine& en, const Value&, ArgBlock) -> Value {
    en.push(Value::integer(1));
    en.push(Value::integer(2));
    raiseError(en, "something failed");
  });
  EXPECT_FALSE(callValue(e, Value::null(), thrower, {}));
  EXPECT_EQ(e.errorText(), "Runtime error: something failed");
  EXPECT_EQ(e.stackPosition(), sp);
  EXPECT_EQ(e.guardDepth(), 0);

  // Nested: the inner failure is seen by the outer function as a failed call.
  bool innerFailed = false;
  const Value outer = function([&](Engine& en, const Value&, ArgBlock) {
    EXPECT_EQ(en.guardDepth(), 1);
    innerFailed = !callValue(en, Value::null(), thrower, {});
    EXPECT_EQ(en.guardDepth(), 1);
    return Value::integer(8);
  });
  EXPECT_TRUE(callValue(e, Value::null(), outer, {}));
  EXPECT_TRUE(innerFailed);
  EXPECT_EQ(e.result.integerValue(), 8);
  EXPECT_EQ(e.stackPosition(), sp);
  EXPECT_EQ(e.errorText(), "Runtime error: something failed") << "the inner text stays";
}

TEST_F(Engines, ErrorTextsAreBoundedNotOverflowed) {
  const std::string longText(5000, 'x');
  EXPECT_FALSE(runProtected(e, [&] { raiseError(e, longText); }));
  EXPECT_EQ(e.errorText().size(), kErrorTextLimit);
  EXPECT_EQ(e.errorText().substr(0, 16), "Runtime error: x");

  EXPECT_FALSE(runProtected(e, [&] { throw std::bad_alloc(); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Out of memory");
  EXPECT_TRUE(runProtected(e, [] {}));
  EXPECT_EQ(e.errorText(), "");
}

TEST_F(Engines, TheStackOverflowsWithAReserve) {
  auto small = Engine::create(EngineOptions{64, nullptr, 0});
  ASSERT_TRUE(small);
  int pushed = 0;
  EXPECT_FALSE(runProtected(*small, [&] {
    for (;;) {
      small->push(Value::integer(pushed));
      ++pushed;
    }
  }));
  EXPECT_EQ(small->errorText(), "Runtime error: stack overflow");
  EXPECT_EQ(pushed, 64 - 1 - static_cast<int>(kStackReserve));
  EXPECT_EQ(small->stackPosition(), small->stackTop() - 1);
}

TEST(EngineCreation, SetupRunsProtectedAndItsFailureGivesNoEngine) {
  auto engine = Engine::create({}, [](Engine& e) {
    static constexpr char16_t kText[] = u"registered";
    e.global(e.intern(u"Thing")) = makeStaticString(e, kText, 10);
  });
  ASSERT_TRUE(engine);
  EXPECT_EQ(std::u16string(engine->global(engine->intern(u"Thing")).asString()->view()), u"registered");
  EXPECT_EQ(engine->guardDepth(), 0);

  EXPECT_FALSE(Engine::create({}, [](Engine& e) { raiseError(e, "Out of memory"); }));
  EXPECT_FALSE(Engine::create({}, [](Engine&) { throw std::bad_alloc(); }));
}

TEST_F(Engines, KeptTextOutlivesItsSource) {
  Value s;
  {
    std::u16string source = u"constant text";
    s = makeStaticString(e, e.keepText(source), static_cast<std::uint32_t>(source.size()));
    source.assign(source.size(), u'-');
  }
  e.global(e.intern(u"k")) = s;
  e.collectGarbage();
  EXPECT_TRUE(s.asString()->isStatic());
  EXPECT_EQ(text(s), u"constant text");
}

TEST_F(Engines, WarningsGoToTheSink) {
  e.warn("Warning: one");
  Engine& quiet = *Engine::create().release();
  quiet.warn("Warning: nobody listens");
  delete &quiet;
  EXPECT_EQ(takeWarnings(), std::vector<std::string>{"Warning: one"});
}

} // namespace
} // namespace plumex::script
