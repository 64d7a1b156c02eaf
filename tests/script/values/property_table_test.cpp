#include "script/values/property_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine_fixture.h"
#include "script/values/array_record.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

class Tables : public EngineTest {
protected:
  Atom atom(std::u16string_view name) { return e.intern(name); }
  std::vector<std::u16string> names(const PropertyTable* t) {
    std::vector<std::u16string> out;
    Value v;
    for (std::uint32_t n = 0; t->nameAt(e, n, v); ++n) out.push_back(text(v));
    return out;
  }
  std::int64_t read(const PropertyTable* t, std::u16string_view name) {
    Value v;
    t->get(atom(name), v);
    return v.is(Kind::Integer) ? v.integerValue() : -999;
  }
};

TEST_F(Tables, OwnPropertiesThenThePrototypeChain) {
  PropertyTable* base = newTable(e);
  base->set(e, atom(u"a"), Value::integer(1));
  base->set(e, atom(u"b"), Value::integer(2));
  PropertyTable* mid = newTableOver(e, base);
  mid->set(e, atom(u"b"), Value::integer(20));
  PropertyTable* top = newTableOver(e, mid);

  EXPECT_EQ(read(top, u"a"), 1);
  EXPECT_EQ(read(top, u"b"), 20);
  Value out = Value::integer(5);
  EXPECT_FALSE(top->get(atom(u"zz"), out));
  EXPECT_TRUE(out.is(Kind::Undefined));

  // Stores never reach the prototype.
  top->set(e, atom(u"a"), Value::integer(100));
  EXPECT_EQ(read(top, u"a"), 100);
  EXPECT_EQ(read(base, u"a"), 1);

  // A "__proto__" that is not an Object ends the chain; the lookup of
  // "__proto__" itself finds the own slot.
  mid->set(e, kAtomProto, Value::integer(3));
  EXPECT_EQ(read(top, u"b"), 20);
  EXPECT_EQ(read(mid, u"a"), -999);
  EXPECT_EQ(read(mid, u"__proto__"), 3);
}

TEST_F(Tables, TextKeysSeeOwnPropertiesOnly) {
  PropertyTable* base = newTable(e);
  base->set(e, atom(u"inherited"), Value::integer(1));
  PropertyTable* t = newTableOver(e, base);
  Value v;
  EXPECT_TRUE(t->get(atom(u"inherited"), v));
  EXPECT_FALSE(t->getAt(e, str(u"inherited"), v));
  EXPECT_FALSE(t->getAt(e, str(u"never interned anywhere"), v));

  t->setAt(e, str(u"k"), Value::integer(4));
  EXPECT_EQ(read(t, u"k"), 4);
  EXPECT_TRUE(t->getAt(e, str(u"k"), v));
  EXPECT_EQ(v.integerValue(), 4);
  t->removeAt(e, str(u"k"));
  EXPECT_FALSE(t->getAt(e, str(u"k"), v));

  // Keys of other kinds read nothing and store nothing.
  const std::uint32_t before = t->count();
  t->setAt(e, Value::number(1.0), Value::integer(1));
  t->setAt(e, Value::integer(-1), Value::integer(1));
  EXPECT_EQ(t->count(), before);
  EXPECT_FALSE(t->getAt(e, Value::boolean(true), v));
}

TEST_F(Tables, DeletedSlotsKeepTheirPlaceAndTheLastIsReused) {
  PropertyTable* t = newTable(e);
  for (auto n : {u"a", u"b", u"c", u"d"}) t->set(e, atom(n), Value::integer(1));
  t->remove(e, atom(u"b"));
  t->remove(e, atom(u"c"));
  EXPECT_EQ(t->count(), 4u);
  EXPECT_EQ(names(t), (std::vector<std::u16string>{u"a", u"d"}));
  Value v;
  EXPECT_FALSE(t->get(atom(u"b"), v));

  t->set(e, atom(u"x"), Value::integer(1));  // takes c's slot, the last deleted one
  t->set(e, atom(u"y"), Value::integer(1));  // takes b's
  t->set(e, atom(u"z"), Value::integer(1));  // appended
  EXPECT_EQ(t->count(), 5u);
  EXPECT_EQ(names(t), (std::vector<std::u16string>{u"a", u"y", u"x", u"d", u"z"}));
  // Enumeration asked out of order still finds each name.
  EXPECT_TRUE(t->nameAt(e, 3, v));
  EXPECT_EQ(text(v), u"d");
  EXPECT_TRUE(t->nameAt(e, 0, v));
  EXPECT_EQ(text(v), u"a");
  EXPECT_FALSE(t->nameAt(e, 5, v));
  EXPECT_TRUE(v.is(Kind::Undefined));
}

TEST_F(Tables, PositionalSlotsHaveNoName) {
  PropertyTable* t = newTable(e);
  PropertyTable* other = newTable(e);
  other->set(e, atom(u"secret"), Value::integer(7));
  // {3: obj}: slots 0 to 3 appear, none of them named "__proto__".
  t->setAt(e, Value::integer(3), Value::object(other));
  EXPECT_EQ(t->count(), 4u);
  EXPECT_EQ(t->prototype(), nullptr);
  Value v;
  EXPECT_FALSE(t->get(atom(u"secret"), v));
  EXPECT_FALSE(t->get(kAtomProto, v));
  EXPECT_TRUE(names(t).empty());
  EXPECT_TRUE(t->getAt(e, Value::integer(3), v));
  EXPECT_EQ(v.asObject(), other);

  // A named store neither lands in an unnamed slot nor sees one as deleted.
  t->set(e, atom(u"n"), Value::integer(1));
  EXPECT_EQ(t->count(), 5u);
  EXPECT_EQ(names(t), (std::vector<std::u16string>{u"n"}));

  // Positions address named slots too, and a deleted slot reads Undefined.
  EXPECT_TRUE(t->getAt(e, Value::integer(4), v));
  EXPECT_EQ(v.integerValue(), 1);
  t->removeAt(e, Value::integer(4));
  EXPECT_FALSE(t->get(atom(u"n"), v));
  EXPECT_FALSE(t->getAt(e, Value::integer(4), v));
}

TEST_F(Tables, TextKeyStoresTakeAGlobalWhileInterningGrowsTheGlobals) {
  const Atom g = atom(u"g");
  e.global(g) = Value::integer(42);
  // The next new name moves the globals.
  for (int i = 0; e.atoms().size() % 1024 != 0; ++i) atom(u"filler" + std::u16string(1, static_cast<char16_t>(0x100 + i)));
  PropertyTable* t = newTable(e);
  t->setAt(e, str(u"brand new name"), e.global(g));
  EXPECT_EQ(read(t, u"brand new name"), 42);
}

TEST_F(Tables, StoresMayTakeAValueOfTheSameTable) {
  // Growing the slots must not lose the value being stored.
  PropertyTable* t = newTable(e);
  t->set(e, atom(u"p0"), Value::integer(5));
  for (int i = 1; i < 40; ++i)
    t->set(e, atom(u"p" + std::u16string(1, static_cast<char16_t>(u'0' + i))), *t->lookup(atom(u"p0")));
  t->setAt(e, Value::integer(100), t->valueAt(0));
  EXPECT_EQ(read(t, u"pW"), 5);
  Value v;
  ASSERT_TRUE(t->getAt(e, Value::integer(100), v));
  EXPECT_EQ(v.integerValue(), 5);
}

TEST_F(Tables, PrototypeCyclesAreRefused) {
  PropertyTable* a = newTable(e);
  PropertyTable* b = newTableOver(e, a);
  PropertyTable* c = newTableOver(e, b);
  a->set(e, kAtomProto, Value::object(c));
  a->set(e, kAtomProto, Value::object(a));
  EXPECT_EQ(a->prototype(), nullptr);
  EXPECT_EQ(takeWarnings(), std::vector<std::string>(
                                2, "Warning: can't set property \"__proto__\" with a wrong type"));

  // Through a text key and through the slot's position, too.
  b->setAt(e, str(u"__proto__"), Value::object(c));
  c->setAt(e, Value::integer(0), Value::object(c));
  EXPECT_EQ(takeWarnings().size(), 2u);
  EXPECT_EQ(b->prototype(), a);
  EXPECT_EQ(c->prototype(), b);

  // A lookup that misses ends.
  Value v;
  EXPECT_FALSE(c->get(atom(u"missing"), v));
  // Replacing a link with one that closes no cycle is fine.
  PropertyTable* d = newTable(e);
  b->set(e, kAtomProto, Value::object(d));
  EXPECT_EQ(b->prototype(), d);
  EXPECT_TRUE(takeWarnings().empty());
}

TEST_F(Tables, TablesMadeWithRoomBehaveAsAnyOther) {
  // Slots start in the table's own cell and move out when they outgrow
  // it; a table made over a prototype whose instances grew gets more room.
  // Nothing of this may show: same lookups, order, deletions and positions.
  PropertyTable* proto = newTable(e, 0);
  proto->set(e, atom(u"shared"), Value::integer(-1));
  for (int round = 0; round < 3; ++round) {
    PropertyTable* t = newTableOver(e, proto, round == 0 ? kTableRoom : proto->instanceRoom() - 1);
    for (int i = 0; i < 6; ++i)
      t->set(e, atom(u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i))), Value::integer(i));
    t->remove(e, atom(u"f2"));
    t->set(e, atom(u"late"), Value::integer(9));  // takes f2's slot
    t->setAt(e, Value::integer(9), Value::integer(99));
    EXPECT_EQ(names(t), (std::vector<std::u16string>{u"__proto__", u"f0", u"f1", u"late", u"f3", u"f4", u"f5"}))
        << "round " << round;
    EXPECT_EQ(read(t, u"f5"), 5);
    EXPECT_EQ(read(t, u"late"), 9);
    EXPECT_EQ(read(t, u"shared"), -1);
    EXPECT_EQ(t->count(), 10u);
    Value v;
    ASSERT_TRUE(t->getAt(e, Value::integer(9), v));
    EXPECT_EQ(v.integerValue(), 99);
    EXPECT_EQ(t->prototype(), proto);
  }
  // The first table outgrew its cell at seven slots (the prototype's and
  // six names); the later ones were made with that room.
  EXPECT_EQ(proto->instanceRoom(), 7u);
}

TEST_F(Tables, TheHeapIsChargedWhatTablesHold) {
  // The pacing counts bytes as they are allocated and recounts them from
  // the live cells at each collection: the two must agree, whatever state
  // the tables are in (room unused, slots moved out, the hashed index,
  // deleted slots, an enumeration cursor, positional slots).
  std::vector<Atom> pool;
  for (int i = 0; i < 40; ++i) pool.push_back(atom(u"q" + std::u16string(1, static_cast<char16_t>(u'A' + i))));
  ArrayRecord* keep = newArray(e);
  e.global(atom(u"keep")) = Value::array(keep);
  e.collectGarbage();
  const std::size_t before = e.heap().stats().liveBytes;
  PropertyTable* proto = newTable(e);
  keep->set(e.heap(), 0, Value::object(proto));
  for (std::uint32_t n = 0; n < 40; n += 3) {
    PropertyTable* t = newTableOver(e, proto, n % 4);
    for (std::uint32_t k = 0; k < n; ++k) t->set(e, pool[k], Value::null());
    if (n > 4) t->remove(e, pool[1]);
    if (n > 10) t->setAt(e, Value::integer(n + 5), Value::null());
    keep->set(e.heap(), n + 1, Value::object(t));
    Value name;
    if (n > 20 && t->nameAt(e, 2, name)) keep->set(e.heap(), 100 + n, name);
  }
  const std::size_t charged = e.heap().stats().liveBytes;
  e.collectGarbage();
  EXPECT_EQ(e.heap().stats().liveBytes, charged);
  EXPECT_GT(charged, before);
}

TEST_F(Tables, LargeTablesAgreeWithAModel) {
  // Enough names for the hashed index, with deletions and reuse mixed in.
  PropertyTable* t = newTable(e);
  std::map<Atom, std::int64_t> model;
  std::vector<Atom> order;  // slot order as the model sees it
  std::mt19937 rng(7);
  std::vector<Atom> pool;
  for (int i = 0; i < 300; ++i)
    pool.push_back(atom(u"p" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                        std::u16string(1, static_cast<char16_t>(u'a' + i / 26))));
  for (int step = 0; step < 5000; ++step) {
    const Atom a = pool[rng() % pool.size()];
    if (rng() % 3 == 0) {
      t->remove(e, a);
      model.erase(a);
      for (Atom& o : order)
        if (o == a) o = kDeletedSlot;
    } else {
      const std::int64_t v = step;
      if (!model.count(a)) {
        auto last = std::find(order.rbegin(), order.rend(), kDeletedSlot);
        if (last != order.rend()) *last = a;
        else order.push_back(a);
      }
      model[a] = v;
      t->set(e, a, Value::integer(v));
    }
  }
  for (Atom a : pool) {
    Value v;
    const bool found = t->get(a, v);
    ASSERT_EQ(found, model.count(a) == 1);
    if (found) {
      ASSERT_EQ(v.integerValue(), model[a]);
    }
  }
  std::vector<std::u16string> expected;
  for (Atom a : order)
    if (a >= 0) expected.emplace_back(e.atoms().name(a));
  EXPECT_EQ(names(t), expected);
  EXPECT_EQ(t->count(), order.size());
}

} // namespace
} // namespace plumex::script
