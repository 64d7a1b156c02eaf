// No store file outlives the script runner, whether the script ends or a
// runtime error stops it: quorv runs with a temporary folder of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

class StoreFiles : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / "plumex-mail-runner";
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  int countStores() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_ / "tmp"))
      if (e.path().filename().string().rfind("~pm", 0) == 0) ++n;
    return n;
  }

  fs::path dir_;
};

TEST_P(StoreFiles, AreGoneWhenTheRunnerEnds) {
  const fs::path script = dir_ / "stores.qvs";
  std::ofstream(script) << "var kept = [];\n"
                           "for (var i = 0; i < 30; i++) {\n"
                           "  var m = new Mail();\n"
                           "  m.text = \"message \" + i;\n"
                           "  m.save(scriptArgs[0] + \"/m\" + i + \".eml\");\n"
                           "  if (i % 3 == 0) kept[kept.length] = m;\n"
                           "  var loaded = new Mail();\n"
                           "  loaded.load(scriptArgs[0] + \"/m\" + i + \".eml\");\n"
                           "}\n"
                           "trace(kept.length);\n"
                        << GetParam() << "\n";
  const std::string command = "TMPDIR='" + (dir_ / "tmp").string() + "' '" QUORV "' '" + script.string() + "' '" +
                              dir_.string() + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_NE(status, -1);
  EXPECT_EQ(countStores(), 0);
  EXPECT_TRUE(fs::exists(dir_ / "m29.eml"));
}

INSTANTIATE_TEST_SUITE_P(Endings, StoreFiles, ::testing::Values("trace(\"done\");", "throw \"stopped\";"));

} // namespace

namespace {

// The stores are made in TMPDIR: without a folder there, a message cannot
// be made and the constructor gives null.
TEST(StoreFolder, WithoutOneMailGivesNull) {
  const fs::path dir = fs::temp_directory_path() / "plumex-mail-runner-null";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "null.qvs") << "trace(new Mail() === null); trace(Mail() === null);\n";
  const std::string command = "TMPDIR='" + (dir / "missing").string() + "' '" QUORV "' '" + (dir / "null.qvs").string() +
                              "' >'" + (dir / "out").string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream out(dir / "out");
  const std::string text((std::istreambuf_iterator<char>(out)), {});
  EXPECT_EQ(text, "true\ntrue\n");
  fs::remove_all(dir);
}

} // namespace
