#include "script/values/array_record.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine_fixture.h"
#include "script/values/element_access.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

class Arrays : public EngineTest {
protected:
  // Stored elements as index -> Integer payload.
  static std::map<std::uint64_t, std::int64_t> contents(const ArrayRecord& a) {
    std::map<std::uint64_t, std::int64_t> out;
    a.forEach([&](std::uint64_t i, const Value& v) { out[i] = v.integerValue(); });
    return out;
  }
  ArrayRecord* filled(std::initializer_list<std::int64_t> values) {
    ArrayRecord* a = newArray(e, values.size());
    std::uint64_t i = 0;
    for (std::int64_t v : values) a->set(e.heap(), i++, Value::integer(v));
    return a;
  }
};

TEST_F(Arrays, HoleDiffersFromStoredUndefined) {
  ArrayRecord* a = newArray(e, 3);
  a->set(e.heap(), 1, Value::undefined());
  EXPECT_EQ(a->get(0), nullptr);
  ASSERT_NE(a->get(1), nullptr);
  EXPECT_TRUE(a->get(1)->is(Kind::Undefined));
  EXPECT_EQ(a->storedCount(), 1u);
  a->remove(e.heap(), 1);
  EXPECT_EQ(a->get(1), nullptr);
  EXPECT_EQ(a->storedCount(), 0u);
}

TEST_F(Arrays, StoresMayTakeAnElementOfTheSameArray) {
  // Growing the storage must not lose the value being stored.
  ArrayRecord* a = filled({7});
  for (std::uint64_t i = 1; i < 200; ++i) a->set(e.heap(), i, *a->get(i - 1));
  a->set(e.heap(), 1ull << 40, *a->get(0));
  EXPECT_EQ(a->get(199)->integerValue(), 7);
  EXPECT_EQ(a->get(1ull << 40)->integerValue(), 7);
}

TEST_F(Arrays, SparseAndDenseIndicesUpTo64Bits) {
  ArrayRecord* a = newArray(e);
  const std::uint64_t far[] = {0, 1, 5, 1000000, 4294967295ull, 1ull << 40, ~0ull};
  for (std::uint64_t i : far) a->set(e.heap(), i, Value::integer(static_cast<std::int64_t>(i % 1000)));
  for (std::uint64_t i : far) {
    ASSERT_NE(a->get(i), nullptr) << i;
    EXPECT_EQ(a->get(i)->integerValue(), static_cast<std::int64_t>(i % 1000));
  }
  EXPECT_EQ(a->get(2), nullptr);
  EXPECT_EQ(a->get(4294967296ull), nullptr);
  EXPECT_EQ(a->collect().size(), std::size(far));
  EXPECT_EQ(a->nextIndex(6), 1000000u);
  EXPECT_EQ(a->nextIndex(~0ull), ~0ull);
  a->removeFrom(e.heap(), 5);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{0, 0}, {1, 1}}));
}

TEST_F(Arrays, RemoveShiftMovesHigherElementsDown) {
  ArrayRecord* a = filled({10, 20, 30});
  a->removeShift(e.heap(), 1);
  EXPECT_EQ(a->length, 2u);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{0, 10}, {1, 30}}));
  a->removeShift(e.heap(), 5);  // beyond the length: nothing
  EXPECT_EQ(a->length, 2u);

  ArrayRecord* s = newArray(e, 1ull << 33);
  s->set(e.heap(), 3, Value::integer(3));
  s->set(e.heap(), 1ull << 32, Value::integer(4));
  s->set(e.heap(), (1ull << 32) + 1, Value::integer(5));
  s->removeShift(e.heap(), 1ull << 32);
  EXPECT_EQ(contents(*s), (std::map<std::uint64_t, std::int64_t>{{3, 3}, {1ull << 32, 5}}));
  EXPECT_EQ(s->length, (1ull << 33) - 1);
}

TEST_F(Arrays, OffsetMovesEveryIndexAndTheLength) {
  ArrayRecord* a = filled({1, 2});
  a->offset(e.heap(), 2);  // unshift room
  EXPECT_EQ(a->length, 4u);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{2, 1}, {3, 2}}));
  a->remove(e.heap(), 2);
  a->offset(e.heap(), -3);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{0, 2}}));
  EXPECT_EQ(a->length, 1u);
  a->offset(e.heap(), -1);  // index 0 wraps to 2^64 - 1
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{~0ull, 2}}));
  EXPECT_EQ(a->length, 0u);
  a->offset(e.heap(), 1);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{0, 2}}));
}

TEST_F(Arrays, AppendCollectAndRenumber) {
  ArrayRecord* a = filled({1, 2});
  ArrayRecord* b = newArray(e);
  b->set(e.heap(), 0, Value::integer(7));
  b->set(e.heap(), 9, Value::integer(8));
  a->appendFrom(e.heap(), *b, 2);
  EXPECT_EQ(contents(*a), (std::map<std::uint64_t, std::int64_t>{{0, 1}, {1, 2}, {2, 7}, {11, 8}}));
  a->appendFrom(e.heap(), *a, 100);
  EXPECT_EQ(contents(*a).size(), 8u);
  EXPECT_EQ(contents(*a).at(111), 8);

  std::vector<Value> values = b->collect();
  ASSERT_EQ(values.size(), 2u);
  std::swap(values[0], values[1]);
  b->renumber(e.heap(), values);
  EXPECT_EQ(contents(*b), (std::map<std::uint64_t, std::int64_t>{{0, 8}, {1, 7}}));
}

TEST_F(Arrays, IndexReadsAndWritesMapKeysTheSameWay) {
  ArrayRecord* a = newArray(e);
  writeArrayElement(e, *a, Value::number(2.9), Value::integer(1));
  EXPECT_EQ(a->length, 3u);
  EXPECT_EQ(readArrayElement(e, *a, Value::integer(2)).integerValue(), 1);
  EXPECT_EQ(readArrayElement(e, *a, Value::number(2.2)).integerValue(), 1);
  EXPECT_TRUE(readArrayElement(e, *a, Value::integer(1)).is(Kind::Undefined));
  writeArrayElement(e, *a, Value::integer(4294967295ll), Value::integer(2));
  EXPECT_EQ(a->length, 4294967296ull);
  EXPECT_EQ(readArrayElement(e, *a, Value::number(4294967295.5)).integerValue(), 2);
  EXPECT_TRUE(takeWarnings().empty());

  // Outside 0 to 2^32-1 nothing wraps: both directions warn.
  for (Value key : {Value::integer(-1), Value::integer(4294967296ll), Value::number(-0.5e10),
                    Value::number(1e300), Value::nan(), str(u"1")}) {
    EXPECT_TRUE(readArrayElement(e, *a, key).is(Kind::Undefined));
    writeArrayElement(e, *a, key, Value::integer(9));
  }
  EXPECT_EQ(takeWarnings(), std::vector<std::string>(12, "Warning: invalid index for operator []"));
  EXPECT_EQ(a->storedCount(), 2u);
  EXPECT_EQ(a->length, 4294967296ull);

  // Elements at or beyond the length read Undefined.
  a->length = 2;
  EXPECT_TRUE(readArrayElement(e, *a, Value::integer(2)).is(Kind::Undefined));
}

TEST_F(Arrays, LargeBuffersOfDeadArraysServeTheNextOnes) {
  // A dead array's buffer goes back to the heap at a collection and the
  // next array that grows takes it: what it reads is what it wrote, holes
  // included, never what the dead array held.
  const Atom name = e.intern(u"held");
  ArrayRecord* first = newArray(e);
  e.global(name) = Value::array(first);
  for (std::uint64_t i = 0; i < 60000; ++i) first->set(e.heap(), i, Value::integer(7));
  const Value* firstStorage = first->get(0);
  e.global(name) = Value::undefined();
  e.collectGarbage();

  ArrayRecord* next = newArray(e);
  e.global(name) = Value::array(next);
  for (std::uint64_t i = 0; i < 40000; ++i) next->set(e.heap(), i, Value::integer(static_cast<std::int64_t>(i)));
  next->set(e.heap(), 50000, Value::integer(-1));  // the dense part grows over holes
  next->length = 50001;
  next->offset(e.heap(), 2);                        // every element moves up
  next->removeShift(e.heap(), 100);
  for (std::uint64_t i = 0; i <= 40000; ++i) {
    const Value* v = next->get(i);
    if (i < 2) {
      ASSERT_EQ(v, nullptr) << i;
      continue;
    }
    ASSERT_NE(v, nullptr) << i;
    ASSERT_EQ(v->integerValue(), static_cast<std::int64_t>(i < 100 ? i - 2 : i - 1)) << i;
  }
  EXPECT_EQ(next->get(40001), nullptr);
  EXPECT_EQ(next->get(50000), nullptr);
  ASSERT_NE(next->get(50001), nullptr);
  EXPECT_EQ(next->get(50001)->integerValue(), -1);
  EXPECT_EQ(next->storedCount(), 40000u);
  // The dead array's last buffer was the one of the right size.
  EXPECT_EQ(next->get(2), firstStorage + 2);

  // An engine ending with kept blocks and live large arrays frees both.
  ArrayRecord* other = newArray(e);
  e.global(e.intern(u"other")) = Value::array(other);
  for (std::uint64_t i = 0; i < 20000; ++i) other->set(e.heap(), i, Value::null());
}

TEST_F(Arrays, RandomOperationsAgreeWithAModel) {
  ArrayRecord* a = newArray(e);
  std::map<std::uint64_t, std::int64_t> model;
  std::mt19937_64 rng(11);
  const auto pickIndex = [&]() -> std::uint64_t {
    switch (rng() % 4) {
      case 0: return rng() % 16;
      case 1: return rng() % 300;
      case 2: return rng() % 100000;
      default: return rng();
    }
  };
  for (int step = 0; step < 4000; ++step) {
    const std::uint64_t i = pickIndex();
    switch (rng() % 6) {
      case 0: case 1: case 2:
        a->set(e.heap(), i, Value::integer(step));
        model[i] = step;
        break;
      case 3:
        a->remove(e.heap(), i);
        model.erase(i);
        break;
      case 4: {
        a->length = ~0ull;
        a->removeShift(e.heap(), i);
        std::map<std::uint64_t, std::int64_t> next;
        for (auto [k, v] : model)
          if (k != i) next[k > i ? k - 1 : k] = v;
        model = next;
        break;
      }
      default: {
        const auto delta = static_cast<std::int32_t>(rng() % 7) - 3;
        a->offset(e.heap(), delta);
        std::map<std::uint64_t, std::int64_t> next;
        for (auto [k, v] : model) next[k + static_cast<std::uint64_t>(std::int64_t{delta})] = v;
        model = next;
      }
    }
    ASSERT_EQ(contents(*a), model) << "step " << step;
  }
}

} // namespace
} // namespace plumex::script
