// Representative scripts against their token and tree listings. To rewrite
// the listings after a deliberate change, run with PLUMEX_UPDATE_GOLDEN=1
// and review the diff.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "script/compiler/dump.h"
#include "script/compiler/parser.h"

namespace plumex::script::compiler {
namespace {

const std::string kDir = PLUMEX_GOLDEN_DIR;

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void check(const std::string& script, const char* extension, bool tokens) {
  auto source = ScriptStream::openFile(kDir + "/" + script + ".qvs");
  ASSERT_TRUE(source) << script;
  const DumpResult r = tokens ? dumpTokens(*source, 0) : dumpSyntaxTree(*source, 0);
  EXPECT_TRUE(r.ok) << script << ": " << r.messages;
  EXPECT_EQ(r.messages, "") << script;
  const std::string expectedPath = kDir + "/" + script + extension;
  if (std::getenv("PLUMEX_UPDATE_GOLDEN")) std::ofstream(expectedPath, std::ios::binary) << r.output;
  EXPECT_EQ(r.output, readFile(expectedPath)) << expectedPath;
}

class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, Tokens) { check(GetParam(), ".tokens", true); }
TEST_P(Golden, SyntaxTree) { check(GetParam(), ".ast", false); }

INSTANTIATE_TEST_SUITE_P(Scripts, Golden,
                         ::testing::Values("application", "literals", "control", "declarations"));

} // namespace
} // namespace plumex::script::compiler
