// DataFile's enciphered files: a round trip of nested values, the target
// replaced whole, and files that are not ours, or no longer what we wrote,
// giving false and applying nothing.

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <string>
#include <vector>

#include "data_file_fixture.h"
#include "hostlib/crypto/file_cipher.h"

namespace plumex::hostlib::fs {
namespace {

class DataFileCipher : public testing::DataFileScript {
protected:
  std::string saveAndEnc(const std::string& names) {
    return run("show(DataFile.saveAndEnc(" + literal("d.enc") + ", " + names + "));");
  }
  std::string loadAndDec() { return run("show(DataFile.loadAndDec(" + literal("d.enc") + "));"); }
};

TEST_F(DataFileCipher, NestedValuesComeBack) {
  run("var a = {b: [1, 'x y', {c: true}], d: 2.5, e: \"it's\"}; var n = 9007199254740993;");
  EXPECT_EQ(saveAndEnc("'a', 'n'"), "true");
  const std::string enciphered = read("d.enc");
  EXPECT_EQ(enciphered.substr(0, 4), "PXEF");
  for (const char* plain : {"type=", "x%20y", "[a.b"}) EXPECT_EQ(enciphered.find(plain), std::string::npos) << plain;
  run("a = 0; n = 0;");
  EXPECT_EQ(loadAndDec(), "true");
  EXPECT_EQ(run("show(a.b.length + ' ' + a.b[0] + ' ' + a.b[1] + ' ' + a.b[2].c + ' ' + a.d + ' ' + a.e);"
                "show(n === 9007199254740993);"),
            "3 1 x y true 2.5 it's | true");
  EXPECT_EQ(listing(), std::vector<std::string>{"d.enc"});
}

TEST_F(DataFileCipher, SavingReplacesTheTargetWhole) {
  run("var old = 1; var kept = 2;");
  EXPECT_EQ(saveAndEnc("'old'"), "true");
  EXPECT_EQ(saveAndEnc("'kept'"), "true");
  run("old = 0; kept = 0;");
  EXPECT_EQ(loadAndDec(), "true");
  EXPECT_EQ(run("show(old + ' ' + kept);"), "0 2");
}

TEST_F(DataFileCipher, ForeignOrDamagedFilesApplyNothing) {
  run("var a = {b: [1, 2]}; var s = 'saved';");
  ASSERT_EQ(saveAndEnc("'a', 's'"), "true");
  const std::string good = read("d.enc");
  write("plain.ini", "[s]\r\ntype=string\r\nvalue=foreign\r\n");
  ASSERT_TRUE(
      crypto::encryptFile("another pass phrase", path("plain.ini"), path("other.enc"), {1, 2, 3, 4, 5, 6, 7, 8}));
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x01;
  std::string lastByte = good;
  lastByte.back() ^= 0x80;
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"a byte changed in the middle", flipped},
           {"the tag changed", lastByte},
           {"one byte short", good.substr(0, good.size() - 1)},
           {"one byte more", good + "x"},
           {"the header only", good.substr(0, 32)},
           {"empty", ""},
           {"a plain INI file", read("plain.ini")},
           {"enciphered under another pass phrase", read("other.enc")}}) {
    write("d.enc", bytes);
    run("a = 'before'; s = 'before';");
    EXPECT_EQ(loadAndDec(), "false") << name;
    EXPECT_EQ(run("show(a + ' ' + s);"), "before before") << name;
  }
  removeFile(path("d.enc"));
  EXPECT_EQ(loadAndDec(), "false");
}

TEST_F(DataFileCipher, FailuresLeaveTheTargetAsItWas) {
  run("var ok = 1;");
  ASSERT_EQ(saveAndEnc("'ok'"), "true");
  const std::string before = read("d.enc");
  EXPECT_EQ(run("var deep = []; var at = deep; for (var i = 0; i < 1100; i++) { at[0] = []; at = at[0]; }"), "");
  EXPECT_EQ(saveAndEnc("'deep'"), "false");
  EXPECT_EQ(saveAndEnc("'ok', 3"), "false");
  EXPECT_EQ(run("show(DataFile.saveAndEnc(" + literal("d.enc") + ")); show(DataFile.saveAndEnc(3, 'ok'));"
                "show(DataFile.loadAndDec()); show(DataFile.loadAndDec(3));"),
            "false | false | false | false");
  EXPECT_EQ(read("d.enc"), before);
  EXPECT_EQ(run("show(DataFile.saveAndEnc(" + literal("missing/d.enc") + ", 'ok'));"), "false");
  EXPECT_EQ(listing(), std::vector<std::string>{"d.enc"});
}

#ifndef _WIN32
// The plain text never reaches the disk: nothing is written to the
// temporary folder, whatever the outcome.
TEST_F(DataFileCipher, TemporaryFilesAreRemoved) {
  const std::string temporary = path("tmp");
  ASSERT_TRUE(makeDirectory(temporary));
  const char* before = std::getenv("TMPDIR");
  const std::string previous = before ? before : "";
  setenv("TMPDIR", temporary.c_str(), 1);
  run("var v = [1, 'two'];");
  const std::string saved = saveAndEnc("'v'");
  const std::string loaded = loadAndDec();
  write("d.enc", "damaged");
  const std::string damaged = loadAndDec();
  if (before)
    setenv("TMPDIR", previous.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(saved + " " + loaded, "true true");
  EXPECT_EQ(damaged, "false");
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}
#endif

} // namespace
} // namespace plumex::hostlib::fs
