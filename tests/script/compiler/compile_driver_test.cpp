// Whole compilations: source text to module bytes, the messages, the
// engine's entry points, and the stack check over everything the
// generator writes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "script/compiler/compile_driver.h"
#include "script/compiler/module_format.h"
#include "script/values/engine.h"

namespace plumex::script::compiler {
namespace {

using Bytes = std::vector<std::uint8_t>;

CompileResult compileSource(std::string_view text, unsigned options = 0) {
  auto in = ScriptStream::openText(text);
  return compileModule(*in, options);
}

// The directory's filler bytes vary from run to run; tests compare modules
// with them cleared.
Bytes masked(Bytes m) {
  for (std::size_t entry = 0; entry < 4; ++entry) {
    const std::size_t at = 4 + entry * kDirectoryEntrySize;
    m[at + 1] = m[at + 2] = m[at + 3] = 0;
  }
  return m;
}

Bytes bytesOf(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

void append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

TEST(CompileDriver, ReferenceModuleIsByteExact) {
  const CompileResult r = compileSource("getAdditionalFile(); return true;");
  ASSERT_TRUE(r.module) << r.messages;
  Bytes expected = {'Q', 'S', '1', 'b'};
  const Bytes directory = bytesOf({0, 0, 0, 0, 0x38, 0, 0, 0, 11, 0, 0, 0,  //
                                   1, 0, 0, 0, 0x43, 0, 0, 0, 19, 0, 0, 0,  //
                                   2, 0, 0, 0, 0x56, 0, 0, 0, 14, 0, 0, 0,  //
                                   3, 0, 0, 0, 0x64, 0, 0, 0, 0, 0, 0, 0,   //
                                   0xFF, 0xFF, 0xFF, 0xFF});
  expected.insert(expected.end(), directory.begin(), directory.end());
  const Bytes code = bytesOf({0x5D, 0x58, 0, 0, 0, 0, 0x34, 0x66, 0x03, 0x60, 0x33});
  expected.insert(expected.end(), code.begin(), code.end());
  expected.push_back(0x0A);
  append(expected, "getAdditionalFile");
  expected.push_back(0);
  const Bytes count = bytesOf({0, 0, 0, 1});
  expected.insert(expected.end(), count.begin(), count.end());
  append(expected, ".main");
  const Bytes tail = bytesOf({0, 0, 0, 0, 0});
  expected.insert(expected.end(), tail.begin(), tail.end());
  ASSERT_EQ(expected.size(), 100u);
  EXPECT_EQ(masked(*r.module), expected);
}

TEST(CompileDriver, FunctionCodeIsByteExact) {
  const CompileResult r = compileSource("function add(a, b) { return a + b; }");
  ASSERT_TRUE(r.module) << r.messages;
  const Bytes& m = *r.module;
  const Bytes code(m.begin() + kModuleHeaderSize, m.begin() + kModuleHeaderSize + 11);
  EXPECT_EQ(code, bytesOf({0x56, 0x01, 0x23, 0x2D, 0x04, 0x56, 0x02, 0x56, 0x03, 0x44, 0x33}));
}

TEST(CompileDriver, MessagesAndLineTable) {
  CompileResult r = compileSource("x = 1\ny = 2", kOptionWarnSemicolon);
  ASSERT_TRUE(r.module);
  EXPECT_EQ(r.messages, "warning: line 0: missing ;\r\nwarning: line 1: missing ;\r\n");

  r = compileSource("x = 1;\nwhile (x) {\n  break outer;\n}\n");
  EXPECT_FALSE(r.module);
  EXPECT_EQ(r.messages, "error: line 2: invalid break\r\n");

  const CompileResult plain = compileSource("x = 1;\ny = 2;\n");
  const CompileResult lines = compileSource("x = 1;\ny = 2;\n", kOptionLineTable);
  ASSERT_TRUE(plain.module && lines.module);
  auto image = ModuleImage::read(*lines.module);
  ASSERT_TRUE(image);
  EXPECT_TRUE(ModuleImage::read(*plain.module)->section(SectionType::Lines).empty());
  const auto table = image->section(SectionType::Lines);
  ASSERT_GE(table.size(), 5u + 6u);
  EXPECT_EQ(table[0], kLineTagSource);
  EXPECT_EQ(std::string(table.begin() + 5, table.begin() + 11), "string");
  // One line record for each of the two lines.
  EXPECT_EQ(table.size(), 11u + 2 * 9u);
}

// Every function the generator writes passes the loader's stack check (the
// driver runs it on its own output and reports a failure as an error), so
// the virtual machine can trust its depth.
TEST(CompileDriver, GeneratedCodePassesTheStackCheck) {
  const char* sources[] = {
      "function f(a, b) { var s = 0; for (var i = 0; i < a; i++) { s += b[i]; } return s; }",
      "for (k in o) { if (k) continue; else break; } lbl: for (k in o) { switch (k) { case 1: break lbl; } }",
      "try { f(); } catch (e if e == 1) { g(); } catch (e) { h(); } finally { k(); }",
      "while (c) { try { throw 1; } catch (e) { break; } finally { continue; } }",
      "function f() { try { return arguments.length; } finally { g(); } }",
      "with (o) { a[i++] += b.c--; delete x; f(); }",
      "x = { a: [1, , 3], 'b': { c: /re/gi }, 4: null }; y = x.a.length > 2 ? 'long' : 'short';",
      "do { n = n - 1; } while (n > 0 && !done || maybe);",
      "struct { char a[4]; } S; dllimport \"k.dll\" stdcall long F(long, String) as G;",
  };
  for (const char* source : sources) {
    const CompileResult r = compileSource(source);
    ASSERT_TRUE(r.module) << source << "\n" << r.messages;
    auto image = ModuleImage::read(*r.module);
    ASSERT_TRUE(image) << source;
    EXPECT_EQ(r.messages, "") << source;
  }
}

TEST(CompileDriver, EngineEntryPoints) {
  auto engine = Engine::create();
  ASSERT_TRUE(engine);
  EXPECT_TRUE(compileText(*engine, "x = 1;", 0));
  EXPECT_EQ(engine->errorText(), "");
  EXPECT_FALSE(compileText(*engine, "x = ;", 0));
  EXPECT_EQ(engine->errorText(), "error: line 0: syntax error: invalid expression\r\n");

  // Messages longer than the error buffer are kept whole.
  std::string many;
  for (int i = 0; i < 100; ++i) many += "x = 1\n";
  EXPECT_TRUE(compileText(*engine, many, kOptionWarnSemicolon));
  EXPECT_GT(engine->errorText().size(), kErrorTextLimit);
  EXPECT_EQ(engine->errorText().find("warning: line 99: missing ;\r\n"),
            engine->errorText().size() - std::string("warning: line 99: missing ;\r\n").size());

  EXPECT_FALSE(compileFile(*engine, "/nonexistent/x.qvs", 0));
  EXPECT_EQ(engine->errorText(), "can't open the script file: /nonexistent/x.qvs\n");

  const auto dir = std::filesystem::path(::testing::TempDir()) / "plumex-compile-driver";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string source = (dir / "a.qvs").string();
  const std::string listing = (dir / "a.lst").string();
  const std::string module = (dir / "a.qsc").string();
  std::ofstream(source) << "function f() { return 2; } f();";
  auto in = ScriptStream::openFile(source);
  ASSERT_TRUE(in);
  auto image = compile(*engine, *in, 0, &listing, &module);
  ASSERT_TRUE(image);
  auto contents = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  EXPECT_EQ(contents(listing), "; -*- asm -*-\r\n");
  const std::string moduleText = contents(module);
  const Bytes written(moduleText.begin(), moduleText.end());
  auto reread = ModuleImage::read(written);
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->sections().size(), image->sections().size());
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace plumex::script::compiler
