// The quorvc program as users run it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class Quorvc : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plumex-quorvc-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string script(const char* name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  static std::string read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  Outcome run(const std::string& args) {
    const std::string command = std::string(QUORVC) + " " + args + " >" + (dir_ / "out").string() + " 2>" +
                                (dir_ / "err").string();
    Outcome r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read(dir_ / "out");
    r.err = read(dir_ / "err");
    return r;
  }

  fs::path dir_;
};

TEST_F(Quorvc, ListsTokensAndTrees) {
  const std::string golden = std::string(PLUMEX_GOLDEN_DIR) + "/literals";
  Outcome r = run("--tokens " + golden + ".qvs");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, read(golden + ".tokens"));
  EXPECT_EQ(r.err, "");
  r = run("--ast " + golden + ".qvs");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, read(golden + ".ast"));
}

TEST_F(Quorvc, ErrorsAndWarningsOnStderr) {
  Outcome r = run("--ast " + script("bad.qvs", "// first\nx = 1;\nif (x) {\n  y = 'open"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "error: line 3: unterminated string constant\n");

  r = run("--tokens " + script("bad2.qvs", "a\n#'AB'"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "   0  132 identifier a\n");
  EXPECT_EQ(r.err, "error: line 1: illegal character\n");

  r = run("--ast --warn-semicolons " + script("warn.qvs", "a = '\\q'\nb = 2;"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "warning: line 0: unknown escape sequence '\\q'\nwarning: line 0: missing ;\n");
  EXPECT_NE(r.out.find("main:\n"), std::string::npos);

  r = run("--tokens --strict-strings " + script("strict.qvs", "'a\nb'"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "warning: line 1: ECMAScript don't allow line terminators in string constants\n");
}

// The form editors read: the file, lines from 1, then the kind.
TEST_F(Quorvc, GnuDiagnostics) {
  const std::string bad = script("bad.qvs", "// first\nx = 1;\nif (x) {\n  y = 'open");
  Outcome r = run("--diagnostics=gnu " + bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, bad + ":4: error: unterminated string constant\n");
  const std::string warn = script("warn.qvs", "a = '\\q'\nb = 2;");
  r = run("--diagnostics=gnu --warn-semicolons -o " + (dir_ / "warn.qsc").string() + " " + warn);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, warn + ":1: warning: unknown escape sequence '\\q'\n" + warn + ":1: warning: missing ;\n");
  // The last choice counts.
  r = run("--diagnostics=gnu --diagnostics=system " + bad);
  EXPECT_EQ(r.err, "error: line 3: unterminated string constant\n");
}

TEST_F(Quorvc, UsageAndMissingFiles) {
  Outcome r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--tokens"), std::string::npos);
  EXPECT_NE(r.out.find("--ast"), std::string::npos);

  r = run("--ast " + (dir_ / "absent.qvs").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvc: can't open the script file: " + (dir_ / "absent.qvs").string() + "\n");

  for (const char* args : {"", "--ast", "--frob x.qvs", "--ast --tokens x.qvs", "--ast a.qvs b.qvs", "x.qvs -o",
                           "--ast -g x.qvs", "--dump -o y.qsc x.qsc"}) {
    r = run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.rfind("quorvc: ", 0), 0u) << args;
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST_F(Quorvc, CompilesToModules) {
  // The default output sits beside the source with the extension .qsc.
  const std::string source = script("app.qvs", "function twice(x) { return x * 2; }\ntwice(21);\n");
  Outcome r = run(source);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string module = read(dir_ / "app.qsc");
  ASSERT_GE(module.size(), 56u);
  EXPECT_EQ(module.substr(0, 4), "QS1b");
  r = run("--dump " + (dir_ / "app.qsc").string());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("twice"), std::string::npos);
  EXPECT_NE(r.out.find("ADJUSTARGS"), std::string::npos);

  // -g adds the line table, -o names the output.
  r = run("-g -o " + (dir_ / "lines.qsc").string() + " " + source);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GT(read(dir_ / "lines.qsc").size(), module.size());
  EXPECT_FALSE(fs::exists(dir_ / "lines.qsc.part"));

  // Warnings pass; errors leave no module.
  r = run("--warn-semicolons -o " + (dir_ / "warn.qsc").string() + " " + script("warn.qvs", "x = 1\n"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "warning: line 0: missing ;\n");
  EXPECT_TRUE(fs::exists(dir_ / "warn.qsc"));
  r = run(script("bad.qvs", "while (x) {\n}\ncontinue;\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error: line 2: invalid continue\n");
  EXPECT_FALSE(fs::exists(dir_ / "bad.qsc"));

  r = run("-o " + (dir_ / "no" / "such" / "dir.qsc").string() + " " + source);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvc: can't write the module file: " + (dir_ / "no" / "such" / "dir.qsc").string() + "\n");
}

} // namespace
