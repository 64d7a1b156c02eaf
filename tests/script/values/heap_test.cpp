#include <gtest/gtest.h>

#include <random>

#include "engine_fixture.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"

namespace plumex::script {
namespace {

using testing::EngineTest;

// A native class that logs its finalisers and may hold a handler Function
// in its instance data.
struct Log {
  std::vector<std::string> events;
};
struct Instance {
  Log* log;
  std::string name;
  Value handler;
};

ClassRecord* loggingClass(Engine& e, Log& log) {
  ClassRecord* cls = newClass(e);
  cls->classData = &log;
  cls->freeClassData = [](void* data) { static_cast<Log*>(data)->events.push_back("class"); };
  cls->finalizeInstance = [](ClassRecord&, void* p) {
    auto* inst = static_cast<Instance*>(p);
    inst->log->events.push_back(inst->name);
    delete inst;
  };
  cls->markInstance = [](ClassRecord&, void* p, Tracer& t) { t.mark(static_cast<Instance*>(p)->handler); };
  return cls;
}

class Collector : public EngineTest {
protected:
  // The engine's finalisers write to the log: it goes first.
  ~Collector() override { engine_.reset(); }
  Log log;
  Atom global(std::u16string_view name) { return e.intern(name); }
  Value instance(ClassRecord* cls, Log& log, std::string name) {
    return newNative(e, cls, new Instance{&log, std::move(name), {}});
  }
};

TEST_F(Collector, UnreachableNativesAreFinalisedOnceAndClassesAfterThem) {
  Log log;
  {
    auto engine = Engine::create();
    Engine& en = *engine;
    ClassRecord* cls = loggingClass(en, log);
    en.global(en.intern(u"Cls")) = newNative(en, cls, nullptr);
    en.global(en.intern(u"kept")) = newNative(en, cls, new Instance{&log, "kept", {}});
    newNative(en, cls, new Instance{&log, "dropped", {}});
    en.collectGarbage();
    EXPECT_EQ(log.events, std::vector<std::string>{"dropped"});
    en.collectGarbage();
    EXPECT_EQ(log.events.size(), 1u);
    // The class dies with its last instance; the instance goes first.
    en.global(en.intern(u"Cls")) = Value::undefined();
    en.collectGarbage();
    EXPECT_EQ(log.events.size(), 1u) << "kept still holds the class";
    en.global(en.intern(u"kept")) = Value::undefined();
    en.collectGarbage();
    EXPECT_EQ(log.events, (std::vector<std::string>{"dropped", "kept", "class"}));
  }
  EXPECT_EQ(log.events.size(), 3u) << "nothing runs twice at the end";
}

TEST_F(Collector, EngineDestructionFinalisesEverything) {
  Log log;
  {
    auto engine = Engine::create();
    ClassRecord* cls = loggingClass(*engine, log);
    engine->global(engine->intern(u"Cls")) = newNative(*engine, cls, nullptr);
    engine->global(engine->intern(u"a")) = newNative(*engine, cls, new Instance{&log, "a", {}});
    engine->pinValue(newNative(*engine, cls, new Instance{&log, "pinned", {}}));
  }
  ASSERT_EQ(log.events.size(), 3u);
  EXPECT_EQ(log.events.back(), "class");
}

TEST_F(Collector, ClosingRunsTheFinaliserOnceAndLeavesAClosedObject) {
  ClassRecord* cls = loggingClass(e, log);
  cls->call = [](Engine&, ClassRecord&, void*, Value& out, ArgBlock) { out = Value::integer(1); };
  e.global(global(u"Cls")) = newNative(e, cls, nullptr);
  const Value obj = instance(cls, log, "obj");
  e.global(global(u"obj")) = obj;
  EXPECT_TRUE(isInstanceOf(e, obj, u"Cls"));
  EXPECT_FALSE(isInstanceOf(e, e.global(global(u"Cls")), u"Cls"));
  EXPECT_TRUE(callValue(e, Value::null(), obj, {}));

  obj.asNative()->close(e.heap());
  obj.asNative()->close(e.heap());
  EXPECT_EQ(log.events, std::vector<std::string>{"obj"});
  NativeCell* cell = obj.asNative();
  EXPECT_TRUE(cell->isClosed());
  EXPECT_FALSE(cell->isClassObject());
  EXPECT_EQ(cell->instance(), nullptr);
  // Still an object of its class, but not callable as the class object is.
  EXPECT_TRUE(isInstanceOf(e, obj, u"Cls"));
  EXPECT_FALSE(callValue(e, Value::null(), obj, {}));
  EXPECT_EQ(e.errorText(), "Warning: call a undefined function");
  e.global(global(u"obj")) = Value::undefined();
  e.collectGarbage();
  EXPECT_EQ(log.events.size(), 1u);
}

TEST_F(Collector, PinsAreRootsAndReleasingANativeClosesIt) {
  ClassRecord* cls = loggingClass(e, log);
  e.global(global(u"Cls")) = newNative(e, cls, nullptr);
  const Value obj = instance(cls, log, "pinned");
  PinnedValue* pin = e.pinValue(obj);
  const Value s = str(u"kept by a pin");
  Pin strPin(e, s);
  e.collectGarbage();
  EXPECT_TRUE(log.events.empty());
  EXPECT_EQ(text(strPin.value()), u"kept by a pin");

  e.unpinValue(pin);
  EXPECT_EQ(log.events, std::vector<std::string>{"pinned"});
  EXPECT_TRUE(obj.asNative()->isClosed());
  e.collectGarbage();
  EXPECT_EQ(log.events.size(), 1u);
}

TEST_F(Collector, HandlersKeptByNativeCodeSurvive) {
  int calls = 0;
  ClassRecord* cls = loggingClass(e, log);
  e.global(global(u"Cls")) = newNative(e, cls, nullptr);
  auto* inst = new Instance{&log, "socket", {}};
  e.global(global(u"socket")) = newNative(e, cls, inst);
  // Per instance: marked by the class's marker hook.
  inst->handler = function([&calls](Engine&, const Value&, ArgBlock) {
    ++calls;
    return Value();
  });
  // Per class: a pin.
  Pin classHandler(e, function([&calls](Engine&, const Value&, ArgBlock) {
    calls += 10;
    return Value();
  }));
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 1000; ++k) newTable(e);
    e.collectGarbage();
  }
  EXPECT_TRUE(callValue(e, Value::null(), inst->handler, {}));
  EXPECT_TRUE(callValue(e, Value::null(), classHandler.value(), {}));
  EXPECT_EQ(calls, 11);
}

TEST_F(Collector, TheValueStackAndFrameWithListsAreRoots) {
  Value* sp = e.stackPosition();
  e.push(str(u"on the stack"));
  // A frame header: caller link, info, with-list, return position.
  auto* withList = e.heap().make<ValueList>();
  withList->values.push_back(Value::object(newTable(e)));
  withList->values.back().asObject()->set(e, global(u"x"), str(u"in a with object"));
  e.push(Value::make(Kind::FrameLink));
  e.push(Value::make(Kind::FrameInfo));
  e.push(Value::pointer(Kind::FrameLink, withList));
  e.push(Value::make(Kind::FrameLink));
  e.push(str(u"a local"));
  const std::size_t before = e.heap().stats().cells;
  for (int k = 0; k < 100; ++k) str(u"garbage");
  e.collectGarbage();
  EXPECT_EQ(e.heap().stats().cells, before) << "only the garbage went";
  Value x;
  EXPECT_TRUE(withList->values[0].asObject()->get(global(u"x"), x));
  EXPECT_EQ(text(x), u"in a with object");
  EXPECT_EQ(text(sp[0]), u"on the stack");
  e.setStackPosition(sp);
  e.collectGarbage();
  EXPECT_LT(e.heap().stats().cells, before);
}

TEST_F(Collector, AMarkPhaseCutShortLeavesNoStaleMarks) {
  // A marker hook that runs out of memory once: the next collection must
  // still see everything that is reachable.
  static bool failOnce;
  failOnce = true;
  ClassRecord* cls = newClass(e);
  cls->markInstance = [](ClassRecord&, void*, Tracer&) {
    if (std::exchange(failOnce, false)) throw std::bad_alloc();
  };
  PropertyTable* holder = newTable(e);
  holder->set(e, global(u"s"), str(u"reachable"));
  e.global(global(u"holder")) = Value::object(holder);
  static int data;
  e.global(global(u"native")) = newNative(e, cls, &data);  // traced before holder

  EXPECT_FALSE(runProtected(e, [&] { e.collectGarbage(); }));
  EXPECT_EQ(e.errorText(), "Runtime error: Out of memory");
  for (int k = 0; k < 100; ++k) str(u"garbage");
  e.collectGarbage();
  Value s;
  ASSERT_TRUE(holder->get(global(u"s"), s));
  EXPECT_EQ(text(s), u"reachable");
}

TEST_F(Collector, PacingGrowsWithTheLiveHeapAndExitsSkipWhenNothingCanFinalise) {
  EXPECT_EQ(e.heap().stats().threshold, Heap::kMinThreshold);
  ArrayRecord* big = newArray(e);
  e.global(global(u"big")) = Value::array(big);
  for (std::uint64_t i = 0; i < 1200000; ++i) big->set(e.heap(), i, Value::integer(1));
  EXPECT_TRUE(e.collectIfDue());
  // The heap may grow by a quarter of what is alive before the next one.
  EXPECT_GT(e.heap().stats().threshold, Heap::kMinThreshold);
  EXPECT_EQ(e.heap().stats().threshold, e.heap().stats().liveBytes / 4);
  EXPECT_FALSE(e.collectIfDue());

  const std::uint64_t collections = e.heap().stats().collections;
  EXPECT_FALSE(e.collectAtExit());
  ClassRecord* cls = loggingClass(e, log);
  e.global(global(u"Cls")) = newNative(e, cls, nullptr);
  instance(cls, log, "temp");
  EXPECT_TRUE(e.collectAtExit());
  EXPECT_EQ(log.events, std::vector<std::string>{"temp"});
  EXPECT_EQ(e.heap().stats().collections, collections + 1);
  EXPECT_FALSE(e.collectAtExit());
}

TEST_F(Collector, StressRandomGraphs) {
  // Objects, arrays and strings linked at random from a few globals, with
  // collections in between: under ASan any early free is caught.
  ClassRecord* cls = loggingClass(e, log);
  e.global(global(u"Cls")) = newNative(e, cls, nullptr);
  std::mt19937 rng(3);
  std::vector<Atom> roots;
  for (int i = 0; i < 8; ++i) roots.push_back(global(u"root" + std::u16string(1, u'0' + i)));
  const Atom field = global(u"f");
  int natives = 0;
  for (int round = 0; round < 40; ++round) {
    for (int k = 0; k < 500; ++k) {
      Value v;
      switch (rng() % 4) {
        case 0: v = Value::object(newTable(e)); break;
        case 1: v = Value::array(newArray(e)); break;
        case 2: v = str(u"s"); break;
        default: v = instance(cls, log, "n"); ++natives;
      }
      Value& root = e.global(roots[rng() % roots.size()]);
      if (root.is(Kind::Object)) root.asObject()->set(e, field + static_cast<Atom>(rng() % 3), v);
      else if (root.is(Kind::Array)) root.asArray()->set(e.heap(), rng() % 50, v);
      if (rng() % 5 == 0) root = v;
    }
    e.collectGarbage();
    // Everything still reachable can be walked and converted.
    for (Atom r : roots) toStringValue(e, e.global(r));
  }
  for (Atom r : roots) e.global(r) = Value::undefined();
  e.collectGarbage();
  EXPECT_EQ(log.events.size(), static_cast<std::size_t>(natives));
}

TEST_F(Collector, SmallCellsOfEverySizeAreReusedAndSurvivorsKeepTheirText) {
  // Strings of 0 to 120 units fill every pooled size class and a few large
  // cells; every seventh of the first round is kept. After each collection
  // the kept ones read back whole and the heap counts exactly what is
  // reachable; the later rounds reuse the slots of the dead instead of
  // taking more memory.
  ArrayRecord* kept = newArray(e);
  e.global(global(u"kept")) = Value::array(kept);
  std::vector<std::u16string> expected;
  std::size_t cells = 0;
  std::size_t chunkBytes = 0;
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 20000; ++i) {
      std::u16string text(static_cast<std::size_t>(i % 121), static_cast<char16_t>(u'a' + (i + round) % 26));
      const Value v = copyString(e, text);
      if (round == 0 && i % 7 == 0) {
        kept->set(e.heap(), expected.size(), v);
        expected.push_back(std::move(text));
      }
    }
    e.collectGarbage();
    for (std::size_t k = 0; k < expected.size(); ++k) {
      const Value* v = kept->get(k);
      ASSERT_TRUE(v && v->is(Kind::String));
      ASSERT_EQ(v->asString()->view(), expected[k]) << "round " << round << " string " << k;
    }
    if (round == 0) cells = e.heap().stats().cells;
    EXPECT_EQ(e.heap().stats().cells, cells) << "round " << round;
    if (round == 1) chunkBytes = e.heap().stats().chunkBytes;
    if (round > 1) {
      EXPECT_EQ(e.heap().stats().chunkBytes, chunkBytes) << "round " << round;
    }
  }
  EXPECT_GT(chunkBytes, 0u);
  e.global(global(u"kept")) = Value::undefined();
  e.collectGarbage();
  EXPECT_LT(e.heap().stats().cells, cells - 2800);
}

TEST_F(Collector, ChunksNoCellUsesAreGivenBackBeyondTheSpareOnes) {
  // About 10 MB of small strings, then none: the heap keeps spare chunks
  // for the next growth (as many as stay in use, and at least
  // kMinSpareChunks) and gives the rest back.
  ArrayRecord* kept = newArray(e);
  e.global(global(u"kept")) = Value::array(kept);
  for (std::uint64_t i = 0; i < 60000; ++i) kept->set(e.heap(), i, copyString(e, std::u16string(60, u'k')));
  e.collectGarbage();
  const std::size_t full = e.heap().stats().chunkBytes;
  EXPECT_GT(full, 60000u * 120);
  e.global(global(u"kept")) = Value::undefined();
  e.collectGarbage();
  EXPECT_LE(e.heap().stats().chunkBytes, full / 2);
  EXPECT_GE(e.heap().stats().chunkBytes, Heap::kMinSpareChunks * Heap::kChunkBytes);
}

} // namespace
} // namespace plumex::script
