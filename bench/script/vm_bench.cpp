// Interpreter throughput on small programs run through the engine
// interface: calls, integer loops, property access and method calls on
// constructed objects, arrays, string building. Each program's result is
// checked so that a broken run cannot look fast.

#include <benchmark/benchmark.h>

#include <string>

#include "script/builtins/builtins.h"
#include "script/values/engine.h"
#include "script/vm/engine_interface.h"

namespace {

using namespace plumex::script;

std::unique_ptr<Engine> makeEngine() {
  vm::EngineSetup setup;
  setup.registerClasses = builtins::registerPortableClasses;
  return vm::createEngine(setup);
}

void runProgram(benchmark::State& state, const char* source, std::int64_t expected) {
  auto engine = makeEngine();
  for (auto _ : state) {
    if (!vm::runText(*engine, source)) {
      state.SkipWithError(engine->errorText().c_str());
      return;
    }
    if (!engine->result.is(Kind::Integer) || engine->result.integerValue() != expected) {
      state.SkipWithError("wrong result");
      return;
    }
  }
}

void BM_Fib(benchmark::State& state) {
  runProgram(state, "function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); } fib(25)", 75025);
}
BENCHMARK(BM_Fib)->Unit(benchmark::kMillisecond);

void BM_IntegerLoop(benchmark::State& state) {
  runProgram(state,
             "function loop() { var s = 0; for (var i = 0; i < 3000000; i++) { s = (s + i * 7) % 1000003; } "
             "return s; } loop()",
             [] {
               std::int64_t s = 0;
               for (std::int64_t i = 0; i < 3000000; i++) s = (s + i * 7) % 1000003;
               return s;
             }());
}
BENCHMARK(BM_IntegerLoop)->Unit(benchmark::kMillisecond);

void BM_MethodCalls(benchmark::State& state) {
  runProgram(state,
             "function counterAdd(n) { this.total = this.total + n; return this.total; }\n"
             "function Counter() { this.total = 0; this.add = counterAdd; }\n"
             "function run() { var c = new Counter(); var i; for (i = 0; i < 1000000; i++) { c.add(i & 7); } "
             "return c.total; } run()",
             [] {
               std::int64_t t = 0;
               for (std::int64_t i = 0; i < 1000000; i++) t += i & 7;
               return t;
             }());
}
BENCHMARK(BM_MethodCalls)->Unit(benchmark::kMillisecond);

void BM_Arrays(benchmark::State& state) {
  runProgram(state,
             "function run() { var a = new Array(); var i; var s = 0; for (i = 0; i < 200000; i++) { a[i] = i; } "
             "for (i = 0; i < 200000; i++) { s = s + a[i]; } return s; } run()",
             std::int64_t{200000} * 199999 / 2);
}
BENCHMARK(BM_Arrays)->Unit(benchmark::kMillisecond);

void BM_Allocation(benchmark::State& state) {
  runProgram(state,
             "function Point(x, y) { this.x = x; this.y = y; }\n"
             "function run() { var s = 0; var i; var p; for (i = 0; i < 200000; i++) { p = new Point(i, 1); "
             "s = s + p.x + p.y; } return s; } run()",
             std::int64_t{200000} * 199999 / 2 + 200000);
}
BENCHMARK(BM_Allocation)->Unit(benchmark::kMillisecond);

} // namespace
