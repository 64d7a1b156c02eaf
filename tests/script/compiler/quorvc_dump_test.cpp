// quorvc --dump as users run it: the listing on stdout, and the exit
// status for modules and for files that are not modules.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "module_builders.h"
#include "script/compiler/module_dump.h"

namespace plumex::script::compiler {
namespace {

namespace fs = std::filesystem;
using namespace testing;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

Outcome dump(const fs::path& dir, const fs::path& file) {
  const std::string command = std::string(QUORVC) + " --dump " + file.string() + " >" + (dir / "out").string() +
                              " 2>" + (dir / "err").string();
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(dir / "out"), readAll(dir / "err")};
}

TEST(QuorvcDump, ListsModulesAndRefusesOtherFiles) {
  const fs::path dir = fs::temp_directory_path() / "plumex-quorvc-dump";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const InstructionList list = {functionLabel(".main"), ins(Op::PUSH0), ins(Op::LDGLOBAL, "f"), ins(Op::CALL)};
  const Bytes module = write(list);
  std::ofstream(dir / "m.qsc", std::ios::binary).write(reinterpret_cast<const char*>(module.data()),
                                                        static_cast<std::streamsize>(module.size()));
  std::ofstream(dir / "x.qvs", std::ios::binary) << "f();";

  Outcome r = dump(dir, dir / "m.qsc");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dumpModule(*ModuleImage::read(module)).text);
  EXPECT_EQ(r.err, "");

  r = dump(dir, dir / "x.qvs");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "quorvc: not a compiled module: " + (dir / "x.qvs").string() + "\n");

  r = dump(dir, dir / "none.qsc");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvc: can't open the module file: " + (dir / "none.qsc").string() + "\n");
  fs::remove_all(dir);
}

} // namespace
} // namespace plumex::script::compiler
