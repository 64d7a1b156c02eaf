// Every script FEATURE/NAME.qvs in this folder, run by quorv: its stdout must
// be NAME.expected, its stderr NAME.stderr (empty when that file is absent)
// and its exit status the number in NAME.status (0 when absent).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using plumex::test::readFile;

// "feature/name", without the extension.
std::vector<std::string> findScripts() {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(PLUMEX_SCRIPTS_DIR)) {
    if (entry.path().extension() != ".qvs") continue;
    fs::path rel = fs::relative(entry.path(), PLUMEX_SCRIPTS_DIR);
    found.push_back(rel.replace_extension().generic_string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class Script : public ::testing::TestWithParam<std::string> {
protected:
  void SetUp() override {
    scratch_ = fs::temp_directory_path() / ("plumex-script-" + caseName(GetParam()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  void TearDown() override { fs::remove_all(scratch_); }

public:
  static std::string caseName(const std::string& script) {
    std::string name = script;
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
  }

protected:
  fs::path scratch_;
};

TEST_P(Script, PrintsWhatItShould) {
  const fs::path base = fs::path(PLUMEX_SCRIPTS_DIR) / GetParam();
  const fs::path expected = base.string() + ".expected";
  const fs::path expectedErr = base.string() + ".stderr";
  const fs::path expectedStatus = base.string() + ".status";
  ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";

  const plumex::test::Outcome r = plumex::test::runProgram(
      plumex::test::shellQuote(QUORV) + " " + plumex::test::shellQuote(base.string() + ".qvs"), scratch_);
  EXPECT_EQ(r.out, readFile(expected)) << "stdout of " << GetParam();
  EXPECT_EQ(r.err, fs::exists(expectedErr) ? readFile(expectedErr) : "") << "stderr of " << GetParam();
  const int status = fs::exists(expectedStatus) ? std::stoi(readFile(expectedStatus)) : 0;
  EXPECT_EQ(r.status, status) << "exit status of " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Scripts, Script, ::testing::ValuesIn(findScripts()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return Script::caseName(info.param);
                         });

} // namespace
