// Baseline figures of the engine core: the operations the interpreter
// performs most often.

#include <benchmark/benchmark.h>

#include <string>

#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/element_access.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script {
namespace {

std::vector<Atom> names(Engine& e, int n) {
  std::vector<Atom> out;
  for (int i = 0; i < n; ++i) out.push_back(e.intern(u"prop" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                                                     std::u16string(1, static_cast<char16_t>(u'a' + i / 26))));
  return out;
}

PropertyTable* tableWith(Engine& e, const std::vector<Atom>& atoms) {
  PropertyTable* t = newTable(e);
  for (Atom a : atoms) t->set(e, a, Value::integer(a));
  return t;
}

void PropertyGetHit(benchmark::State& state) {
  auto e = Engine::create();
  const auto atoms = names(*e, static_cast<int>(state.range(0)));
  PropertyTable* t = tableWith(*e, atoms);
  e->global(e->intern(u"t")) = Value::object(t);
  std::size_t i = 0;
  for (auto _ : state) {
    Value v;
    benchmark::DoNotOptimize(t->get(atoms[i++ % atoms.size()], v));
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(PropertyGetHit)->Arg(4)->Arg(8)->Arg(32)->Arg(256);

void PropertyGetMissThroughPrototype(benchmark::State& state) {
  // Three own names and a two-level chain ending without the name.
  auto e = Engine::create();
  const auto atoms = names(*e, 12);
  PropertyTable* base = tableWith(*e, {atoms[0], atoms[1], atoms[2]});
  PropertyTable* mid = newTableOver(*e, base);
  for (int k = 3; k < 6; ++k) mid->set(*e, atoms[k], Value::integer(k));
  PropertyTable* top = newTableOver(*e, mid);
  for (int k = 6; k < 9; ++k) top->set(*e, atoms[k], Value::integer(k));
  e->global(e->intern(u"t")) = Value::object(top);
  const Atom missing = atoms[11];
  for (auto _ : state) {
    Value v;
    benchmark::DoNotOptimize(top->get(missing, v));
  }
}
BENCHMARK(PropertyGetMissThroughPrototype);

void PropertyGetInherited(benchmark::State& state) {
  auto e = Engine::create();
  const auto atoms = names(*e, 20);
  PropertyTable* base = tableWith(*e, atoms);
  PropertyTable* top = newTableOver(*e, base);
  top->set(*e, e->intern(u"own"), Value::integer(1));
  e->global(e->intern(u"t")) = Value::object(top);
  std::size_t i = 0;
  for (auto _ : state) {
    Value v;
    benchmark::DoNotOptimize(top->get(atoms[i++ % atoms.size()], v));
  }
}
BENCHMARK(PropertyGetInherited);

void PropertySetExisting(benchmark::State& state) {
  auto e = Engine::create();
  const auto atoms = names(*e, static_cast<int>(state.range(0)));
  PropertyTable* t = tableWith(*e, atoms);
  e->global(e->intern(u"t")) = Value::object(t);
  std::size_t i = 0;
  for (auto _ : state) {
    t->set(*e, atoms[i % atoms.size()], Value::integer(static_cast<std::int64_t>(i)));
    ++i;
  }
}
BENCHMARK(PropertySetExisting)->Arg(4)->Arg(32)->Arg(256);

void PropertySetNewObjects(benchmark::State& state) {
  // An object literal of eight names, as the interpreter builds it.
  auto e = Engine::create();
  const auto atoms = names(*e, 8);
  for (auto _ : state) {
    PropertyTable* t = newTable(*e);
    for (Atom a : atoms) t->set(*e, a, Value::integer(a));
    benchmark::DoNotOptimize(t);
    e->collectIfDue();
  }
}
BENCHMARK(PropertySetNewObjects);

void PropertyGetByText(benchmark::State& state) {
  auto e = Engine::create();
  const auto atoms = names(*e, 32);
  PropertyTable* t = tableWith(*e, atoms);
  e->global(e->intern(u"t")) = Value::object(t);
  const Value key = copyString(*e, e->atoms().name(atoms[17]));
  e->global(e->intern(u"k")) = key;
  for (auto _ : state) {
    Value v;
    benchmark::DoNotOptimize(t->getAt(*e, key, v));
  }
}
BENCHMARK(PropertyGetByText);

void ArrayIndexRead(benchmark::State& state) {
  auto e = Engine::create();
  ArrayRecord* a = newArray(*e);
  e->global(e->intern(u"a")) = Value::array(a);
  const auto n = static_cast<std::uint64_t>(state.range(0));
  for (std::uint64_t i = 0; i < n; ++i) writeArrayElement(*e, *a, Value::integer(static_cast<std::int64_t>(i)), Value::integer(1));
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(readArrayElement(*e, *a, Value::integer(i)));
    if (++i == static_cast<std::int64_t>(n)) i = 0;
  }
}
BENCHMARK(ArrayIndexRead)->Arg(1000)->Arg(100000);

void ArrayIndexWriteAppend(benchmark::State& state) {
  auto e = Engine::create();
  for (auto _ : state) {
    state.PauseTiming();
    ArrayRecord* a = newArray(*e);
    e->global(e->intern(u"a")) = Value::array(a);
    state.ResumeTiming();
    for (std::int64_t i = 0; i < 1000; ++i) writeArrayElement(*e, *a, Value::integer(i), Value::integer(i));
    state.PauseTiming();
    e->collectIfDue();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(ArrayIndexWriteAppend);

void ArrayIndexSparse(benchmark::State& state) {
  auto e = Engine::create();
  ArrayRecord* a = newArray(*e);
  e->global(e->intern(u"a")) = Value::array(a);
  for (std::int64_t i = 0; i < 1000; ++i)
    writeArrayElement(*e, *a, Value::integer(i * 1000003 % 4000000000ll), Value::integer(i));
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(readArrayElement(*e, *a, Value::integer(i * 1000003 % 4000000000ll)));
    if (++i == 1000) i = 0;
  }
}
BENCHMARK(ArrayIndexSparse);

void StringConcatenation(benchmark::State& state) {
  // s = s + "piece" in a loop, as scripts build text.
  auto e = Engine::create();
  const Atom s = e->intern(u"s");
  for (auto _ : state) {
    e->global(s) = copyString(*e, u"");
    for (int i = 0; i < 100; ++i) {
      e->global(s) = concatStrings(*e, e->global(s).asString()->view(), u"piece");
      e->collectIfDue();
    }
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(StringConcatenation);

void NumberToText(benchmark::State& state) {
  auto e = Engine::create();
  double d = 0.1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(toStringValue(*e, Value::number(d)));
    d += 1.7;
    e->collectIfDue();
  }
}
BENCHMARK(NumberToText);

void TextToNumber(benchmark::State& state) {
  auto e = Engine::create();
  const Value text = copyString(*e, u"  123456789");
  e->global(e->intern(u"x")) = text;
  for (auto _ : state) benchmark::DoNotOptimize(toNumberValue(*e, text));
}
BENCHMARK(TextToNumber);

void AllocateAndCollect(benchmark::State& state) {
  // Short-lived objects with a few properties, a live set of 10000, and
  // collections as the pacing asks for them.
  auto e = Engine::create();
  const auto atoms = names(*e, 3);
  ArrayRecord* live = newArray(*e);
  e->global(e->intern(u"live")) = Value::array(live);
  std::uint64_t i = 0;
  for (auto _ : state) {
    PropertyTable* t = newTable(*e);
    t->set(*e, atoms[0], Value::integer(1));
    t->set(*e, atoms[1], copyString(*e, u"text"));
    t->set(*e, atoms[2], Value::array(newArray(*e)));
    live->set(e->heap(), i++ % 10000, Value::object(t));
    e->collectIfDue();
  }
  state.counters["collections"] = static_cast<double>(e->heap().stats().collections);
}
BENCHMARK(AllocateAndCollect);

void FullCollection(benchmark::State& state) {
  // A full collection over a live heap of n objects.
  auto e = Engine::create();
  const auto atoms = names(*e, 2);
  ArrayRecord* live = newArray(*e);
  e->global(e->intern(u"live")) = Value::array(live);
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    PropertyTable* t = newTable(*e);
    t->set(*e, atoms[0], Value::integer(i));
    t->set(*e, atoms[1], copyString(*e, u"x"));
    live->set(e->heap(), static_cast<std::uint64_t>(i), Value::object(t));
  }
  for (auto _ : state) e->collectGarbage();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FullCollection)->Arg(10000)->Arg(100000);

} // namespace
} // namespace plumex::script
