#include "container/run_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace plumex::container {
namespace {

constexpr Guid kGuid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const std::string kFolder = "{00112233-4455-6677-8899-AABBCCDDEEFF}\\";

TEST(RunFolder, TakesTheFirstUsableCandidate) {
  const std::string len259 = "C:\\" + std::string(256, 'a');
  const std::string len260 = len259 + "b";
  struct Case {
    const char* what;
    std::string tmp, temp, windows;
    std::string base; // empty: no run folder
  };
  const Case cases[] = {
      {"TMP first", "C:\\tmp", "D:\\temp", "C:\\Windows", "C:\\tmp\\"},
      {"TEMP when TMP is empty", "", "D:\\temp", "C:\\Windows", "D:\\temp\\"},
      {"the Windows folder last", "", "", "C:\\Windows", "C:\\Windows\\"},
      {"259 characters still count", len259, "D:\\temp", "C:\\Windows", len259 + "\\"},
      {"260 characters do not", len260, "D:\\temp", "C:\\Windows", "D:\\temp\\"},
      {"every candidate too long", len260, len260, len260, ""},
      {"no candidate at all", "", "", "", ""},
      {"a trailing backslash is kept single", "C:\\tmp\\", "", "", "C:\\tmp\\"},
      {"a trailing slash becomes a backslash", "C:/tmp/", "", "", "C:/tmp\\"},
      {"a drive root", "C:\\", "", "", "C:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = runFolderPath(c.tmp, c.temp, c.windows, kGuid);
    if (c.base.empty()) {
      EXPECT_EQ(path, "");
    } else {
      EXPECT_EQ(path, c.base + kFolder);
    }
  }
}

TEST(RunFolder, EndsInTheGuidAndABackslash) {
  Guid other{};
  other[0] = 0x0F;
  const std::string path = runFolderPath("C:\\t", "", "", other);
  EXPECT_EQ(path, "C:\\t\\{0000000F-0000-0000-0000-000000000000}\\");
  EXPECT_EQ(path.size(), 5 + 38 + 1);
}

} // namespace
} // namespace plumex::container
