// The quorv program's command line: usage, script arguments, and files run
// as compiled modules or by their content.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using plumex::test::Outcome;
using plumex::test::readFile;
using plumex::test::shellQuote;

class Quorv : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plumex-quorv-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& content) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  Outcome quorv(const std::string& args) { return plumex::test::runProgram(shellQuote(QUORV) + " " + args, dir_); }

  fs::path dir_;
};

TEST_F(Quorv, HelpAndUsageErrors) {
  Outcome r = quorv("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: quorv [OPTIONS] FILE [ARGS...]\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("scriptArgs"), std::string::npos);
  EXPECT_NE(r.out.find("Exit status"), std::string::npos);
  EXPECT_EQ(r.err, "");

  struct Case {
    const char* args;
    const char* problem;
  };
  for (const Case& c : {Case{"", "quorv: no script given\n"}, Case{"--bogus x.qvs", "quorv: unknown option --bogus\n"},
                        Case{"--no-undefined-warnings", "quorv: no script given\n"}}) {
    r = quorv(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err.rfind(c.problem, 0), 0u) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find("usage: quorv"), std::string::npos) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }

  r = quorv(shellQuote((dir_ / "missing.qvs").string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorv: can't open the script file: " + (dir_ / "missing.qvs").string() + "\n");
}

TEST_F(Quorv, ArgumentsAfterTheFileBelongToTheScript) {
  const std::string script = file("args.qvs",
                                  "trace(scriptArgs.length);\n"
                                  "for (a in scriptArgs) trace('[' + a + ']');\n"
                                  "trace(typeof scriptArgs[0]);\n");
  Outcome r = quorv(shellQuote(script) + " one 'two words' --help -x ''");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "5\n[one]\n[two words]\n[--help]\n[-x]\n[]\nstring\n");
  EXPECT_EQ(r.err, "");

  r = quorv(shellQuote(script));
  EXPECT_EQ(r.out, "0\nundefined\n");

  // "--" lets a script's name begin with a dash.
  const std::string dashed = file("-dash.qvs", "trace('dash');");
  r = quorv("-- " + shellQuote(dashed));
  EXPECT_EQ(r.out, "dash\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(Quorv, OptionsReachTheEngine) {
  const std::string script = file("options.qvs", "trace(nothing)\ns = 'a\nb';\n");
  Outcome r = quorv(shellQuote(script));
  EXPECT_EQ(r.out, "Warning: using undefined variable \"nothing\"\nundefined\n");
  EXPECT_EQ(r.err, "");

  r = quorv("--no-undefined-warnings --strict-strings --warn-semicolons " + shellQuote(script));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "undefined\n");
  EXPECT_EQ(r.err,
            "warning: line 0: missing ;\n"
            "warning: line 2: ECMAScript don't allow line terminators in string constants\n");
}

// The DLL classes are the Windows build's: natively a script probing for
// them finds no Dll, and the option changes nothing else.
TEST_F(Quorv, ExplainFailuresNatively) {
  Outcome r = quorv("--help");
  EXPECT_NE(r.out.find("--explain-failures"), std::string::npos);
  const std::string script = file("probe.qvs", "trace(Dll);\ntrace(new Struct('<bad') == null);\n");
  r = quorv("--explain-failures --no-undefined-warnings " + shellQuote(script));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "undefined\ntrue\n");
  EXPECT_EQ(r.err, "");
}

// An uncaught runtime error prints where it arose, innermost first,
// through native code that called script back; a deep recursion shows its
// first and last frames with the count between.
TEST_F(Quorv, StackTraces) {
  const std::string nested = file("nested.qvs",
                                  "function inner(x) {\n"
                                  "  throw 'deep ' + x;\n"
                                  "}\n"
                                  "function middle(x) { return inner(x); }\n"
                                  "function byInner(a, b) { return middle(null); }\n"
                                  "[3, 1, 2].sort(byInner);\n");
  Outcome r = quorv(shellQuote(nested));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "Runtime error: deep undefined");
  EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "    at inner (" + nested + ":2)\n    at middle (" + nested +
                                                      ":4)\n    at byInner (" + nested + ":5)\n    at sort (native)\n"
                                                      "    at .main (" + nested + ":6)\n");

  // A throw caught on the way and a later one elsewhere: the later one's
  // frames.
  const std::string caught = file("caught.qvs",
                                  "function f(n) { throw 'f' + n; }\n"
                                  "function g(a, b) { return f(1); }\n"
                                  "try { [2, 1].sort(g); } catch (e) { trace(e); }\n"
                                  "function h() { f(2); }\n"
                                  "h();\n");
  r = quorv(shellQuote(caught));
  EXPECT_EQ(r.out, "Runtime error: f1\n");
  EXPECT_EQ(r.err, "Runtime error: f2\n    at f (" + caught + ":1)\n    at h (" + caught + ":4)\n    at .main (" +
                       caught + ":5)\n");

  const std::string deep = file("deep.qvs", "function down(n) {\n  return down(n + 1);\n}\ndown(0);\n");
  r = quorv(shellQuote(deep));
  EXPECT_EQ(r.err.rfind("Runtime error: stack overflow\n", 0), 0u) << r.err;
  std::size_t lines = 0;
  for (char ch : r.err) lines += ch == '\n';
  EXPECT_EQ(lines, 22u) << r.err;
  EXPECT_NE(r.err.find(" more frames ...\n"), std::string::npos);
  EXPECT_TRUE(r.err.ends_with("    at down (" + deep + ":2)\n    at .main (" + deep + ":4)\n")) << r.err;

  // Frames of a module compiled without lines.
  const std::string module = (dir_ / "nested.qsc").string();
  ASSERT_EQ(plumex::test::runProgram(shellQuote(QUORVC) + " -o " + shellQuote(module) + " " + shellQuote(nested), dir_).status, 0);
  r = quorv(shellQuote(module));
  EXPECT_NE(r.err.find("    at inner (unknown:?)\n    at middle (unknown:?)\n"), std::string::npos) << r.err;
}

TEST_F(Quorv, GnuDiagnostics) {
  const std::string bad = file("bad.qvs", "var a = 1;\nvar = ;\n");
  Outcome r = quorv("--diagnostics=gnu " + shellQuote(bad));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, bad + ":2: error: missing ;\n");
  // Warnings of a script that runs, and a runtime error, which keeps its
  // own form.
  const std::string warn = file("warn.qvs", "var s = 'a\nb';\nthrow 1;\n");
  r = quorv("--diagnostics=gnu --strict-strings " + shellQuote(warn));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, warn + ":2: warning: ECMAScript don't allow line terminators in string constants\n"
                   "Runtime error: 1\n    at .main (" + warn + ":3)\n");
}

// Each runtime warning is followed by the frame that warned, inside native
// code that called script back too; trace lines, even ones that read like
// warnings, get none.
TEST_F(Quorv, WarningLocations) {
  const std::string script = file("where.qvs",
                                  "function f(o) {\n"
                                  "  return o.nomethod();\n"
                                  "}\n"
                                  "function byF(a, b) { f({}); return a - b; }\n"
                                  "trace('Warning: only a trace');\n"
                                  "trace(nothing);\n"
                                  "[2, 1].sort(byF);\n");
  Outcome r = quorv("--warning-locations " + shellQuote(script));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Warning: only a trace\n"
                   "Warning: using undefined variable \"nothing\"\n"
                   "    at .main (" + script + ":6)\n"
                   "undefined\n"
                   "Warning: unknown method \"nomethod\"\n"
                   "    at f (" + script + ":2)\n");
  r = quorv(shellQuote(script));
  EXPECT_EQ(r.out, "Warning: only a trace\nWarning: using undefined variable \"nothing\"\nundefined\n"
                   "Warning: unknown method \"nomethod\"\n");

  // Code loaded after a warning was located is found too.
  const std::string later = file("later.qvs",
                                 "trace(nothing);\n"
                                 "eval('function g() {\\n\\n  return nothing;\\n}');\n"
                                 "g();\n");
  r = quorv("--warning-locations " + shellQuote(later));
  EXPECT_EQ(r.out, "Warning: using undefined variable \"nothing\"\n    at .main (" + later + ":1)\nundefined\n"
                   "Warning: using undefined variable \"nothing\"\n    at g (string:3)\n");
}

TEST_F(Quorv, RunsModulesAndFilesByTheirContent) {
  const std::string source = "function twice(x) { return x * 2; }\ntrace('module ' + twice(21));\nthrow 'late';\n";
  const std::string qvs = file("prog.qvs", source);
  const std::string qsc = (dir_ / "prog.qsc").string();
  const Outcome compiled = plumex::test::runProgram(shellQuote(QUORVC) + " -o " + shellQuote(qsc) + " " + shellQuote(qvs), dir_);
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  const std::string module = readFile(qsc);

  struct Case {
    std::string name;
    std::string content;
  };
  for (const Case& c : {Case{"prog.qsc", module}, Case{"PROG.QSC", module}, Case{"module-no-ext", module},
                        Case{"module-shebang", "#!/usr/bin/env quorv\n" + module},
                        Case{"source-no-ext", source}, Case{"source-shebang", "#!/usr/bin/env quorv\n" + source}}) {
    const std::string path = c.name == "prog.qsc" ? qsc : file(c.name, c.content);
    const Outcome r = quorv(shellQuote(path));
    EXPECT_EQ(r.out, "module 42\n") << c.name;
    // Source compiled here has its lines (a "#!" line counts); the modules
    // were compiled without them.
    const std::string frame = c.name.starts_with("source")
                                  ? path + ":" + (c.name == "source-shebang" ? "4" : "3")
                                  : std::string("unknown:?");
    EXPECT_EQ(r.err, "Runtime error: late\n    at .main (" + frame + ")\n") << c.name;
    EXPECT_EQ(r.status, 2) << c.name;
  }

  // A file named .qsc is never read as source.
  const std::string notModule = file("text.qsc", source);
  const Outcome r = quorv(shellQuote(notModule));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "not a compiled module: " + notModule + "\n");
}

} // namespace
