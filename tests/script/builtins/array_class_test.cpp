// The Array class through its hooks: constructor forms, the length
// property and every method, on dense and sparse arrays.

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "../../binding/hook_fixture.h"
#include "script/builtins/builtins.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/property_table.h"

namespace plumex::script {
namespace {

using testing::HookTest;

const Value kHole = Value::make(Kind::Hole);
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

class ArrayClass : public HookTest {
protected:
  ArrayClass() { EXPECT_TRUE(runProtected(e, [&] { builtins::registerArrayClass(e); })); }

  // An array literal: the constructor with a negative count. kHole marks
  // an element left missing afterwards (a literal's own holes arrive as
  // Undefined).
  Value literal(std::initializer_list<Value> elements) {
    std::vector<Value> b{Value::integer(-static_cast<std::int64_t>(elements.size()))};
    b.insert(b.end(), elements.begin(), elements.end());
    ClassRecord& cls = classNamed("Array");
    Value out;
    cls.construct(e, cls, ArgBlock{b.data()}, out);
    std::uint64_t i = 0;
    for (const Value& v : elements) {
      if (v.is(Kind::Hole)) out.asArray()->remove(e.heap(), i);
      ++i;
    }
    return out;
  }
  Value ints(std::initializer_list<int> values) {
    Value a = literal({});
    for (int v : values) method(a, "push", {Value::integer(v)});
    return a;
  }
  // The elements up to the length, "_" for a missing one, then the length.
  std::string show(const Value& a) {
    std::string s;
    const ArrayRecord& r = *a.asArray();
    for (std::uint64_t i = 0; i < r.length && i < 64; ++i) {
      if (i) s += ',';
      const Value* v = r.get(i);
      s += v ? toAnsi(toStringValue(e, *v)) : "_";
    }
    return s + " /" + std::to_string(r.length);
  }
};

TEST_F(ArrayClass, ConstructorForms) {
  const Value three = construct("Array", {Value::integer(3)});
  EXPECT_EQ(show(three), "_,_,_ /3");
  EXPECT_EQ(three.asArray()->storedCount(), 0u);
  EXPECT_EQ(show(construct("Array", {Value::integer(3), Value::integer(4)})), "3,4 /2");
  EXPECT_EQ(show(construct("Array")), " /0");
  const Value one = construct("Array", {Value::number(3.0)});
  EXPECT_EQ(one.asArray()->length, 1u);
  EXPECT_TRUE(one.asArray()->get(0)->is(Kind::Float));
  EXPECT_EQ(construct("Array", {Value::integer(-1)}).asArray()->length, kMax);
  // The literal [5] is one element; a literal hole is a stored Undefined.
  EXPECT_EQ(show(literal({Value::integer(5)})), "5 /1");
  const Value withHole = literal({Value::integer(1), Value::undefined(), Value::integer(3)});
  EXPECT_EQ(withHole.asArray()->storedCount(), 3u);
  // Called as a function it constructs.
  EXPECT_EQ(show(callClass("Array", {Value::integer(2)})), "_,_ /2");

  // Constructed arrays inherit from the class prototype.
  ClassRecord& cls = classNamed("Array");
  EXPECT_EQ(three.asArray()->table->prototype(), cls.prototype);
  EXPECT_EQ(e.classForKind(Kind::Array), &cls);
}

TEST_F(ArrayClass, LengthProperty) {
  Value a = ints({1, 2, 3});
  EXPECT_EQ(get(a, "length")->integerValue(), 3);
  EXPECT_TRUE(set(a, "length", Value::integer(1)));
  EXPECT_EQ(show(a), "1 /1");
  set(a, "length", Value::integer(5));
  EXPECT_EQ(show(a), "1,_,_,_,_ /5");
  set(a, "length", Value::number(2.9));
  EXPECT_EQ(show(a), "1,_ /2");
  // Other values are ignored.
  for (const Value& v : {Value::number(-1.0), str(u"0"), Value::nan(), Value::boolean(false)}) {
    EXPECT_TRUE(set(a, "length", v));
    EXPECT_EQ(a.asArray()->length, 2u);
  }
  set(a, "length", Value::number(1e300));
  EXPECT_EQ(a.asArray()->length, kMax);

  // The class object's length is 1, and stays 1.
  const Value cls = global("Array");
  EXPECT_EQ(get(cls, "length")->integerValue(), 1);
  EXPECT_TRUE(set(cls, "length", Value::integer(4)));
  EXPECT_EQ(get(cls, "length")->integerValue(), 1);
  EXPECT_FALSE(get(a, "size"));
  EXPECT_FALSE(set(a, "size", Value::integer(1)));
}

TEST_F(ArrayClass, JoinAndText) {
  const Value a = literal({Value::integer(1), Value::undefined(), Value::integer(3)});
  EXPECT_EQ(text(*method(a, "join")), u"1,undefined,3");
  EXPECT_EQ(text(*method(a, "join", {str(u"-")})), u"1-undefined-3");
  EXPECT_EQ(text(*method(a, "join", {Value::integer(0)})), u"10undefined03");
  EXPECT_EQ(text(*method(a, "toString")), u"1,undefined,3");
  EXPECT_EQ(text(*method(literal({Value::integer(1), kHole, Value::integer(3)}), "join")), u"1,,3");
  EXPECT_EQ(text(*method(literal({}), "join")), u"");

  // The class object answers toString only.
  const Value cls = global("Array");
  EXPECT_EQ(text(*method(cls, "toString")), u"[object Array]");
  EXPECT_FALSE(method(cls, "valueOf"));
  EXPECT_FALSE(method(cls, "push"));
  EXPECT_FALSE(method(a, "length"));
  EXPECT_FALSE(method(a, "valueOf"));
}

TEST_F(ArrayClass, PopPushShiftUnshift) {
  Value a = ints({1, 2, 3});
  EXPECT_EQ(method(a, "pop")->integerValue(), 3);
  EXPECT_EQ(show(a), "1,2 /2");
  EXPECT_EQ(method(a, "push", {Value::integer(4), Value::integer(5)})->integerValue(), 4);
  EXPECT_EQ(show(a), "1,2,4,5 /4");
  EXPECT_EQ(method(a, "shift")->integerValue(), 1);
  EXPECT_EQ(show(a), "2,4,5 /3");
  EXPECT_EQ(method(a, "unshift", {Value::integer(3), Value::integer(4)})->integerValue(), 5);
  EXPECT_EQ(show(a), "4,3,2,4,5 /5");
  EXPECT_EQ(method(a, "unshift")->integerValue(), 5);

  // Missing elements and empty arrays.
  Value holes = literal({Value::integer(1), kHole, kHole});
  EXPECT_TRUE(method(holes, "pop")->is(Kind::Undefined));
  EXPECT_EQ(show(holes), "1,_ /2");
  method(holes, "unshift", {Value::integer(0)});
  EXPECT_EQ(show(holes), "0,1,_ /3");
  Value empty = literal({});
  EXPECT_TRUE(method(empty, "pop")->is(Kind::Undefined));
  EXPECT_TRUE(method(empty, "shift")->is(Kind::Undefined));
  EXPECT_EQ(empty.asArray()->length, 0u);
}

TEST_F(ArrayClass, PushStopsAtTheLengthLimit) {
  Value a = construct("Array", {Value::integer(0xfffffffe)});
  EXPECT_EQ(method(a, "push", {Value::integer(1), Value::integer(2)})->integerValue(), 0xffffffff);
  EXPECT_EQ(a.asArray()->storedCount(), 1u);
  EXPECT_EQ(a.asArray()->get(0xfffffffe)->integerValue(), 1);

  Value high = construct("Array", {Value::integer(1ll << 32)});
  EXPECT_EQ(method(high, "push", {Value::integer(1)})->integerValue(), 1ll << 32);
  EXPECT_EQ(high.asArray()->storedCount(), 0u);
}

TEST_F(ArrayClass, Reverse) {
  Value a = ints({1, 2, 3});
  EXPECT_TRUE(method(a, "reverse")->is(Kind::Undefined));
  EXPECT_EQ(show(a), "3,2,1 /3");
  Value holes = literal({Value::integer(1), kHole, Value::integer(3), Value::integer(4), kHole});
  method(holes, "reverse");
  EXPECT_EQ(show(holes), "_,4,3,_,1 /5");
  // A long sparse array moves its few elements only.
  Value sparse = construct("Array", {Value::integer(1ll << 40)});
  sparse.asArray()->set(e.heap(), 0, Value::integer(7));
  method(sparse, "reverse");
  EXPECT_EQ(sparse.asArray()->get((1ull << 40) - 1)->integerValue(), 7);
  EXPECT_EQ(sparse.asArray()->storedCount(), 1u);
}

TEST_F(ArrayClass, Slice) {
  const struct {
    std::initializer_list<Value> args;
    const char* result;
  } cases[] = {
      {{Value::integer(-2)}, "2,3 /2"},
      {{Value::integer(3), Value::integer(1)}, "2,3 /2"},  // either order
      {{Value::integer(1)}, "2,3 /2"},
      {{}, "1,2,3 /3"},
      {{Value::integer(-5)}, "1,2,3 /3"},
      {{Value::integer(0), Value::integer(-1)}, "1,2 /2"},
      {{Value::integer(2), Value::integer(-5)}, " /0"},  // the end falls back to the start
      {{Value::integer(1), Value::integer(5)}, "2,3,_,_ /4"},  // not cut to the length
      {{str(u"1"), Value::number(2.0)}, "1,2,3 /3"},  // only Integers count
      {{Value::integer(0x100000001ll), Value::integer(0x100000002ll)}, "2 /1"},  // low 32 bits
  };
  const Value a = ints({1, 2, 3});
  for (const auto& c : cases) {
    const Value s = *method(a, "slice", c.args);
    EXPECT_EQ(show(s), c.result);
    EXPECT_EQ(s.asArray()->table, nullptr);
  }
  EXPECT_EQ(show(a), "1,2,3 /3");
  const Value holes = literal({Value::integer(1), kHole, Value::integer(3)});
  EXPECT_EQ(method(holes, "slice")->asArray()->storedCount(), 2u);
}

TEST_F(ArrayClass, Splice) {
  const struct {
    std::initializer_list<Value> args;
    const char* after;
    const char* removed;
  } cases[] = {
      {{Value::integer(1), Value::integer(1), str(u"a"), str(u"b")}, "1,a,b,3 /4", "2 /1"},
      {{Value::integer(1)}, "1 /1", "2,3 /2"},
      {{Value::integer(-1), Value::integer(1)}, "1,2 /2", "3 /1"},
      {{Value::integer(0), Value::integer(0), str(u"x")}, "x,1,2,3 /4", " /0"},
      {{Value::integer(1), Value::integer(-5)}, "1,2,3 /3", " /0"},
      {{Value::integer(1), Value::integer(10)}, "1 /1", "2,3 /2"},
      {{Value::integer(1), Value::integer(2), str(u"x")}, "1,x /2", "2,3 /2"},
      {{Value::integer(5), Value::integer(0), str(u"x")}, "1,2,3,x /4", " /0"},  // appends
      {{}, " /0", "1,2,3 /3"},
      {{str(u"2"), Value::number(1.0)}, " /0", "1,2,3 /3"},  // only Integers count
  };
  for (const auto& c : cases) {
    const Value a = ints({1, 2, 3});
    const Value removed = *method(a, "splice", c.args);
    EXPECT_EQ(show(a), c.after);
    EXPECT_EQ(show(removed), c.removed);
  }
  // Missing elements stay missing on both sides, and the tail moves.
  const Value holes = literal({Value::integer(1), kHole, Value::integer(3), kHole, Value::integer(5)});
  const Value removed = *method(holes, "splice", {Value::integer(1), Value::integer(2), str(u"a")});
  EXPECT_EQ(show(holes), "1,a,_,5 /4");
  EXPECT_EQ(show(removed), "_,3 /2");
}

TEST_F(ArrayClass, Concat) {
  const Value a = ints({1, 2});
  const Value other = literal({Value::integer(4), kHole, Value::integer(6)});
  const Value c = *method(a, "concat", {Value::integer(3), other, str(u"x")});
  EXPECT_EQ(show(c), "1,2,3,4,_,6,x /7");
  EXPECT_EQ(c.asArray()->table, nullptr);
  EXPECT_EQ(show(a), "1,2 /2");
  const Value copy = *method(a, "concat");
  EXPECT_NE(copy.asArray(), a.asArray());
  EXPECT_EQ(show(copy), "1,2 /2");

  // The running length never wraps: appending stops before it would.
  Value nearEnd = construct("Array", {Value::integer(-3)});
  nearEnd.asArray()->set(e.heap(), 0, Value::integer(1));
  const Value tail = *method(nearEnd, "concat", {Value::integer(8), Value::integer(9), ints({1})});
  EXPECT_EQ(tail.asArray()->length, kMax);
  EXPECT_EQ(tail.asArray()->get(kMax - 1)->integerValue(), 9);
  EXPECT_EQ(tail.asArray()->storedCount(), 3u);
  const Value huge = construct("Array", {Value::integer(-2)});
  EXPECT_EQ(method(huge, "concat", {huge})->asArray()->length, kMax - 1);
}

TEST_F(ArrayClass, SortWithoutComparison) {
  Value a = ints({10, 9, 1});
  EXPECT_TRUE(method(a, "sort")->is(Kind::Undefined));
  EXPECT_EQ(show(a), "1,10,9 /3");
  // Undefined last; missing elements dropped, the stored ones packed at
  // the front, the length kept.
  Value mixed = literal({Value::undefined(), str(u"b"), kHole, str(u"a"), Value::null(), str(u"v")});
  method(mixed, "sort", {Value::integer(1)});  // not callable: the default order
  EXPECT_EQ(show(mixed), "a,b,undefined,v,undefined,_ /6");
  EXPECT_TRUE(mixed.asArray()->get(2)->is(Kind::Null));
  EXPECT_TRUE(mixed.asArray()->get(4)->is(Kind::Undefined));
}

TEST_F(ArrayClass, SortWithComparison) {
  const auto by = [&](std::function<Value(std::int64_t, std::int64_t)> f) {
    return function([f](Engine&, const Value&, ArgBlock args) {
      return f(args[0].integerValue() / 10, args[1].integerValue() / 10);
    });
  };
  Value a = ints({10, 9, 1});
  method(a, "sort", {by([](std::int64_t, std::int64_t) { return Value(); })});
  EXPECT_EQ(show(a), "10,9,1 /3");  // all equal: unchanged

  // Compared by tens only: equal tens keep their order.
  Value b = ints({31, 12, 35, 10, 33, 19});
  method(b, "sort", {by([](std::int64_t l, std::int64_t r) { return Value::integer(l - r); })});
  EXPECT_EQ(show(b), "12,10,19,31,35,33 /6");
  method(b, "sort", {by([](std::int64_t l, std::int64_t r) { return Value::number((r - l) * 0.25); })});
  EXPECT_EQ(show(b), "31,35,33,12,10,19 /6");
  method(b, "sort", {by([](std::int64_t l, std::int64_t r) { return Value::boolean(l > r); })});
  EXPECT_EQ(show(b), "12,10,19,31,35,33 /6");

  // A callable native object compares too.
  ClassRecord* cls = newClass(e);
  cls->call = [](Engine&, ClassRecord&, void*, Value& out, ArgBlock args) {
    out = Value::integer(args[1].integerValue() - args[0].integerValue());
  };
  Value c = ints({1, 3, 2});
  method(c, "sort", {newNative(e, cls, nullptr)});
  EXPECT_EQ(show(c), "3,2,1 /3");
}

TEST_F(ArrayClass, ComparisonThatChangesTheArrayAndCollects) {
  Value a = literal({});
  for (const char16_t* s : {u"pear", u"fig", u"apple", u"kiwi"}) method(a, "push", {str(s)});
  int calls = 0;
  const Value compare = function([&](Engine& en, const Value&, ArgBlock args) {
    ++calls;
    // Every element is dropped and replaced, and the dropped strings are
    // reachable from the sort alone.
    ArrayRecord& r = *a.asArray();
    r.removeFrom(en.heap(), 0);
    r.length = 0;
    r.set(en.heap(), 0, copyString(en, u"intruder"));
    r.length = 1;
    en.collectGarbage();
    return Value::integer(compareStrings(args[0].asString()->view(), args[1].asString()->view()));
  });
  method(a, "sort", {compare});
  EXPECT_GT(calls, 0);
  EXPECT_EQ(show(a), "apple,fig,kiwi,pear /4");
}

TEST_F(ArrayClass, FailedComparisonLeavesTheArrayAndRaises) {
  Value a = ints({3, 1, 2});
  int calls = 0;
  const Value failing = function([&](Engine& en, const Value&, ArgBlock) -> Value {
    if (++calls == 2) raiseError(en, "boom");
    return Value::integer(-1);
  });
  EXPECT_FALSE(runProtected(e, [&] { method(a, "sort", {failing}); }));
  EXPECT_EQ(e.errorText(), "Runtime error: boom");
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(show(a), "3,1,2 /3");
}

} // namespace
} // namespace plumex::script
