// Compile throughput: the whole compilation of a large generated script
// (parse, code generation, optimisation passes, module writing), and the
// back end alone over a parsed tree. Compare the byte rates with the parse
// benchmark's to see what the back end adds.

#include <benchmark/benchmark.h>

#include "large_script.h"
#include "script/compiler/code_generator.h"
#include "script/compiler/compile_driver.h"
#include "script/compiler/optimizer.h"

namespace {

using namespace plumex::script::compiler;
using plumex::bench::largeScript;

void BM_Compile(benchmark::State& state) {
  const std::string& text = largeScript();
  std::size_t moduleBytes = 0;
  for (auto _ : state) {
    auto in = ScriptStream::openText(text);
    CompileResult r = compileModule(*in, kOptionLineTable);
    if (!r.module) state.SkipWithError("the generated script did not compile");
    moduleBytes = r.module ? r.module->size() : 0;
    benchmark::DoNotOptimize(r.module);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["module_bytes"] = static_cast<double>(moduleBytes);
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

void BM_GenerateAndOptimize(benchmark::State& state) {
  const std::string& text = largeScript();
  auto in = ScriptStream::openText(text);
  auto messages = ScriptStream::openMemory();
  auto tree = parseProgram(*in, *messages, 0);
  if (!tree) {
    state.SkipWithError("the generated script did not parse");
    return;
  }
  for (auto _ : state) {
    Diagnostics diagnostics(*messages);
    InstructionList code = generateCode(*tree, diagnostics);
    optimize(code);
    benchmark::DoNotOptimize(code.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_GenerateAndOptimize)->Unit(benchmark::kMillisecond);

} // namespace
