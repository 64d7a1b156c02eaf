// Front-end throughput: lexing and parsing a large generated script. The
// byte rate google-benchmark prints is the figure to compare.

#include <benchmark/benchmark.h>

#include <string>

#include "script/compiler/dump.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"
#include "large_script.h"

namespace {

using namespace plumex::script::compiler;
using plumex::bench::largeScript;

void BM_Parse(benchmark::State& state) {
  const std::string& text = largeScript();
  for (auto _ : state) {
    auto in = ScriptStream::openText(text);
    auto messages = ScriptStream::openMemory();
    auto tree = parseProgram(*in, *messages, 0);
    if (!tree) state.SkipWithError("the generated script did not parse");
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void BM_Lex(benchmark::State& state) {
  const std::string& text = largeScript();
  for (auto _ : state) {
    auto in = ScriptStream::openText(text);
    auto messages = ScriptStream::openMemory();
    Diagnostics diag(*messages);
    Arena arena;
    Lexer lexer(*in, diag, arena, false);
    std::size_t tokens = 0;
    while (lexer.next().kind != tok::End) ++tokens;
    benchmark::DoNotOptimize(tokens);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Lex)->Unit(benchmark::kMillisecond);

} // namespace
