// Every script FEATURE/NAME.qvs in this folder, run by quorv: its stdout must
// be NAME.expected, its stderr NAME.stderr (empty when that file is absent)
// and its exit status the number in NAME.status (0 when absent). Built
// twice: with the native quorv, and with the win32 build's quorv under Wine
// (PLUMEX_SCRIPTS_UNDER_WINE), whose line ends are "\r\n". Scripts under
// win32/ run under Wine only.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#ifdef PLUMEX_SCRIPTS_UNDER_WINE
#include "wine_harness.h"
#endif

namespace {

namespace fs = std::filesystem;
using plumex::test::readFile;

// "feature/name", without the extension.
std::vector<std::string> findScripts() {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(PLUMEX_SCRIPTS_DIR)) {
    if (entry.path().extension() != ".qvs") continue;
    fs::path rel = fs::relative(entry.path(), PLUMEX_SCRIPTS_DIR);
#ifndef PLUMEX_SCRIPTS_UNDER_WINE
    // Scripts under win32/ call DLLs, which only the win32 build has.
    if (*rel.begin() == "win32") continue;
#endif
    found.push_back(rel.replace_extension().generic_string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

#ifdef PLUMEX_SCRIPTS_UNDER_WINE
// A Wine server that stays up between the runs: otherwise each run's own
// server keeps the output pipes open for seconds after quorv has ended. A
// first program starts Wine's own processes, which would hold them too.
// scripts/test does this for the prefix it makes; a prefix of the harness's
// own (no WINEPREFIX) gets it here, and goes with its server at exit.
class LastingWineServer : public ::testing::Environment {
public:
  void SetUp() override {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return;
    using namespace plumex::testing;
    runProcess({"sh", "-c", "(wineserver -p && wine cmd /c exit) </dev/null >/dev/null 2>&1"},
               std::chrono::seconds(60), Wine::instance().environment());
  }
};
[[maybe_unused]] const auto* const lastingWineServer = ::testing::AddGlobalTestEnvironment(new LastingWineServer);

std::string withoutCarriageReturns(const std::string& text) {
  std::string plain;
  for (char c : text)
    if (c != '\r') plain += c;
  return plain;
}
#endif

plumex::test::Outcome runQuorv(const fs::path& script, [[maybe_unused]] const fs::path& scratch) {
#ifdef PLUMEX_SCRIPTS_UNDER_WINE
  // Wine shows the host's files on drive Z:.
  std::string windowsPath = "Z:" + script.string();
  for (char& c : windowsPath)
    if (c == '/') c = '\\';
  using namespace plumex::testing;
  const ProcessResult r = Wine::instance().run(win32BuildDir() / "tools/quorv/quorv.exe", {windowsPath});
  return {r.timedOut ? 124 : r.exitCode, withoutCarriageReturns(r.out), withoutCarriageReturns(r.err)};
#else
  return plumex::test::runProgram(plumex::test::shellQuote(QUORV) + " " + plumex::test::shellQuote(script.string()),
                                  scratch);
#endif
}

// The frames of a runtime error name the script as it was given (a full
// path here, with Z: under Wine): expectations name it FEATURE/NAME.qvs.
std::string withScriptNames(std::string text, const fs::path& base) {
  std::string native = base.string() + ".qvs";
  std::string windows = "Z:" + native;
  for (char& c : windows)
    if (c == '/') c = '\\';
  const std::string relative = fs::relative(native, PLUMEX_SCRIPTS_DIR).generic_string();
  for (const std::string* from : {&windows, &native})
    for (std::size_t at; (at = text.find(*from)) != std::string::npos;) text.replace(at, from->size(), relative);
  return text;
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

  const plumex::test::Outcome r = runQuorv(base.string() + ".qvs", scratch_);
  EXPECT_EQ(r.out, readFile(expected)) << "stdout of " << GetParam();
  EXPECT_EQ(withScriptNames(r.err, base), fs::exists(expectedErr) ? readFile(expectedErr) : "")
      << "stderr of " << GetParam();
  const int status = fs::exists(expectedStatus) ? std::stoi(readFile(expectedStatus)) : 0;
  EXPECT_EQ(r.status, status) << "exit status of " << GetParam();
}

std::string scriptCaseName(const ::testing::TestParamInfo<std::string>& info) { return Script::caseName(info.param); }

#ifdef PLUMEX_SCRIPTS_UNDER_WINE
INSTANTIATE_TEST_SUITE_P(Win32Scripts, Script, ::testing::ValuesIn(findScripts()), scriptCaseName);
#else
INSTANTIATE_TEST_SUITE_P(Scripts, Script, ::testing::ValuesIn(findScripts()), scriptCaseName);
#endif

} // namespace
