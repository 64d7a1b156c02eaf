// Front-end throughput: lexing and parsing a large generated script. The
// byte rate google-benchmark prints is the figure to compare.

#include <benchmark/benchmark.h>

#include <string>

#include "script/compiler/dump.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"

namespace {

using namespace plumex::script::compiler;

// About 8 MB of the code an application script holds: functions, loops,
// calls, strings, object and array literals, comments.
const std::string& largeScript() {
  static const std::string text = [] {
    std::string s;
    for (int i = 0; s.size() < 8 * 1024 * 1024; ++i) {
      const std::string n = std::to_string(i);
      s += "// handler " + n + "\n"
           "function onCommand" + n + "(command, args) {\n"
           "  var result = { name: \"cmd" + n + "\", count: 0, items: [1, 2.5, 'three', null] };\n"
           "  for (var i = 0; i < args.length; i++) {\n"
           "    if (args[i] == \"stop\" || args[i] === undefined) break;\n"
           "    result.count += args[i].length * 2 - (i % 3);\n"
           "  }\n"
           "  switch (command) {\n"
           "    case \"open\": result.file = new File(Application.getAppDir() + \"\\\\data" + n + ".txt\"); break;\n"
           "    default: trace(\"unknown command \" + command + \" #" + n + "\");\n"
           "  }\n"
           "  return result.count > 0 ? result : /^cmd[0-9]+$/i.test(command);\n"
           "}\n";
    }
    return s;
  }();
  return text;
}

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
