// Every script mail/NAME.qvs in this folder, run by quorv against mail
// servers on loopback: "{smtp}", "{smtp_login}", "{smtp_plain}" and
// "{pop3}" in the script become the servers' ports; its stdout must be
// NAME.expected and its exit status 0. Each test case starts servers of its
// own, so cases share no mailbox. Built twice: with the native quorv, and
// with the win32 build's quorv under Wine (PLUMEX_SCRIPTS_UNDER_WINE).

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "peer_process.h"
#include "../scripts/run_program.h"
#ifdef PLUMEX_SCRIPTS_UNDER_WINE
#include "wine_harness.h"
#endif

namespace {

namespace fs = std::filesystem;
using plumex::test::readFile;

const fs::path kFolder = fs::path(PLUMEX_PEERS_DIR) / "mail";

std::vector<std::string> findScripts() {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(kFolder))
    if (entry.path().extension() == ".qvs") found.push_back(entry.path().stem().string());
  std::sort(found.begin(), found.end());
  return found;
}

std::string withPorts(std::string text, const nlohmann::json& ports) {
  for (const char* name : {"smtp_login", "smtp_plain", "smtp", "pop3"}) {
    const std::string mark = std::string("{") + name + "}";
    const std::string port = std::to_string(ports.at(name).get<int>());
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), port);
  }
  return text;
}

plumex::test::Outcome runQuorv(const fs::path& script, const fs::path& scratch) {
#ifdef PLUMEX_SCRIPTS_UNDER_WINE
  std::string windowsPath = "Z:" + script.string();
  std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
  using namespace plumex::testing;
  const ProcessResult r = Wine::instance().run(win32BuildDir() / "tools/quorv/quorv.exe", {windowsPath});
  std::string out;
  std::copy_if(r.out.begin(), r.out.end(), std::back_inserter(out), [](char c) { return c != '\r'; });
  (void)scratch;
  return {r.timedOut ? 124 : r.exitCode, out, r.err};
#else
  return plumex::test::runProgram(plumex::test::shellQuote(QUORV) + " " + plumex::test::shellQuote(script.string()),
                                  scratch);
#endif
}

class MailScript : public ::testing::TestWithParam<std::string> {};

TEST_P(MailScript, PrintsWhatItShould) {
  plumex::test::PeerProcess peers({"/usr/bin/python3", PLUMEX_PEERS_DIR "/mail_peers.py"});
  ASSERT_FALSE(peers.line().empty()) << "the mail servers did not start";
  const nlohmann::json ports = nlohmann::json::parse(peers.line());

  const fs::path scratch = fs::temp_directory_path() / ("plumex-mail-" + GetParam());
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  const fs::path script = scratch / (GetParam() + ".qvs");
  std::ofstream(script, std::ios::binary) << withPorts(readFile(kFolder / (GetParam() + ".qvs")), ports);

  const plumex::test::Outcome r = runQuorv(script, scratch);
  EXPECT_EQ(r.out, readFile(kFolder / (GetParam() + ".expected")));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  fs::remove_all(scratch);
}

// Script names are letters, digits and "_": fit for test names as they are.
std::string scriptName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

#ifdef PLUMEX_SCRIPTS_UNDER_WINE
INSTANTIATE_TEST_SUITE_P(Win32Mail, MailScript, ::testing::ValuesIn(findScripts()), scriptName);
#else
INSTANTIATE_TEST_SUITE_P(Mail, MailScript, ::testing::ValuesIn(findScripts()), scriptName);
#endif

} // namespace
