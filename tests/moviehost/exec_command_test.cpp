// The exec command: splitting its text, and where its file is looked for.

#include <gtest/gtest.h>

#include <set>

#include "moviehost/exec_command.h"

namespace plumex::moviehost {
namespace {

TEST(ExecCommand, Splitting) {
  struct Case {
    const char* text;
    const char* file;
    const char* parameters;
  } cases[] = {
      {"notepad.exe readme.txt", "notepad.exe", " readme.txt"},
      {"notepad.exe", "notepad.exe", ""},
      {"\"C:\\Program Files\\app.exe\" -a -b", "C:\\Program Files\\app.exe", " -a -b"},
      {"\"C:\\Program Files\\app.exe\"", "C:\\Program Files\\app.exe", ""},
      {"app.exe \"a b\"", "app.exe a b", ""},  // the last quote decides
      {"a\"b\"c d", "ab", "c d"},
      {"", "", ""},
      {" lead", "", " lead"},
  };
  for (const Case& c : cases) {
    const ExecCommand got = splitExecText(c.text);
    EXPECT_EQ(got.file, c.file) << c.text;
    EXPECT_EQ(got.parameters, c.parameters) << c.text;
  }
}

class ExecSearch : public ::testing::Test {
protected:
  ExecPlaces places(std::set<std::string> files, std::string archived = "") {
    files_ = std::move(files);
    ExecPlaces p;
    p.exists = [this](const std::string& path) { return files_.count(path) > 0; };
    p.extract = [archived](const std::string& relative) {
      return relative == archived ? "R:\\run\\" + relative : std::string();
    };
    p.executableDir = "E:\\app\\";
    p.systemDir = "C:\\windows\\system32";
    p.windowsDir = "C:\\windows";
    p.path = "D:\\one;;D:\\two\\";
    return p;
  }
  std::set<std::string> files_;
};

TEST_F(ExecSearch, TheFirstPlaceThatHasTheFileWins) {
  const std::set<std::string> everywhere = {"R:\\run\\tool.exe", "E:\\app\\tool.exe", "E:\\app\\fscommand\\tool.exe",
                                            "C:\\windows\\system32\\tool.exe", "C:\\windows\\tool.exe",
                                            "D:\\one\\tool.exe", "D:\\two\\tool.exe"};
  const char* order[] = {"R:\\run\\tool.exe", "E:\\app\\tool.exe", "E:\\app\\fscommand\\tool.exe",
                         "C:\\windows\\system32\\tool.exe", "C:\\windows\\tool.exe", "D:\\one\\tool.exe",
                         "D:\\two\\tool.exe"};
  std::set<std::string> files = everywhere;
  for (const char* expected : order) {
    const auto found = resolveExecFile("tool.exe", places(files, "tool.exe"));
    ASSERT_TRUE(found) << expected;
    EXPECT_EQ(*found, expected);
    files.erase(expected);  // next time the following place answers
  }
  EXPECT_FALSE(resolveExecFile("tool.exe", places(files, "tool.exe")));
}

TEST_F(ExecSearch, PathsSlashesAndNothing) {
  EXPECT_EQ(resolveExecFile("/fscommand/go.bat", places({"E:\\app\\fscommand\\go.bat"})),
            "E:\\app\\fscommand\\go.bat");
  EXPECT_EQ(resolveExecFile("sub/x.exe", places({"E:\\app\\sub\\x.exe"})), "E:\\app\\sub\\x.exe");
  EXPECT_EQ(resolveExecFile("C:/tools/x.exe", places({"C:\\tools\\x.exe"})), "C:\\tools\\x.exe");
  // A path with a drive is used only when it exists; it is not searched for.
  EXPECT_FALSE(resolveExecFile("C:x.exe", places({"E:\\app\\C:x.exe"})));
  EXPECT_FALSE(resolveExecFile("", places({""})));
  EXPECT_FALSE(resolveExecFile("\\", places({"E:\\app\\"})));
}

} // namespace
} // namespace plumex::moviehost
