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
    EXPECT_EQ(r.err, "Runtime error: late\n") << c.name;
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
