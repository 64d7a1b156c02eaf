#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "script/compiler/script_stream.h"
#include "script/values/engine.h"

namespace plumex::script::compiler {
namespace {

namespace fs = std::filesystem;

class ScriptStreamFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plumex-stream-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }
  void write(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string contents(const char* name) const {
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

  fs::path dir_;
};

std::string readAll(ScriptStream& s) {
  std::string out;
  for (int c = s.read(); c != 0; c = s.read()) out += static_cast<char>(c);
  return out;
}

TEST(ScriptStream, TextInputEndsAtItsEndOrItsFirstNulAndStaysEnded) {
  auto s = ScriptStream::openText(std::string("ab\0cd", 5));
  EXPECT_EQ(s->kind(), ScriptStream::Kind::StringInput);
  EXPECT_EQ(s->name(), "string");
  EXPECT_EQ(readAll(*s), "ab");
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s->read(), 0);
  s->rewind();
  EXPECT_EQ(readAll(*s), "ab");

  auto empty = ScriptStream::openText("");
  EXPECT_EQ(empty->read(), 0);
  EXPECT_EQ(empty->read(), 0);
}

TEST(ScriptStream, PushBackIsLastInFirstOutAndUnbounded) {
  auto s = ScriptStream::openText("xyz");
  EXPECT_EQ(s->read(), 'x');
  for (int i = 0; i < 100; ++i) s->pushBack('a' + i % 26);
  std::string back;
  for (int i = 0; i < 100; ++i) back += static_cast<char>(s->read());
  EXPECT_EQ(back.substr(0, 3), "vut");  // the 100th pushed first
  EXPECT_EQ(s->peek(), 'y');
  EXPECT_EQ(readAll(*s), "yz");
  // A pushed-back 0 reads back as 0, and the source still ends after it.
  s->pushBack(0);
  EXPECT_EQ(s->read(), 0);
  EXPECT_EQ(s->read(), 0);
  s->pushBack('q');
  s->rewind();
  EXPECT_EQ(readAll(*s), "xyz");
}

TEST(ScriptStream, BytesAtAndAboveHighBitReadAsUnsigned) {
  auto s = ScriptStream::openText("\x80\xFF");
  EXPECT_EQ(s->read(), 0x80);
  EXPECT_EQ(s->read(), 0xFF);
  EXPECT_EQ(s->read(), 0);
}

TEST_F(ScriptStreamFiles, FileInputAcrossBlocksWithoutTranslation) {
  std::string text;
  for (int i = 0; i < 3 * 4096 + 17; ++i) text += static_cast<char>('A' + i % 23);
  text += "\r\nend";
  write("big.qvs", text);
  auto s = ScriptStream::openFile(path("big.qvs"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->name(), path("big.qvs"));
  EXPECT_EQ(readAll(*s), text);
  EXPECT_EQ(s->read(), 0);
  s->rewind();
  EXPECT_EQ(readAll(*s), text);
}

TEST_F(ScriptStreamFiles, NulInsideAFileEndsItEvenInALaterBlock) {
  std::string text(5000, 'x');
  text[4500] = '\0';
  write("zero.qvs", text);
  auto s = ScriptStream::openFile(path("zero.qvs"));
  ASSERT_TRUE(s);
  EXPECT_EQ(readAll(*s).size(), 4500u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(s->read(), 0);
}

TEST_F(ScriptStreamFiles, MissingFileReportsToTheEngine) {
  EXPECT_FALSE(ScriptStream::openFile(path("absent.qvs")));
  auto engine = Engine::create();
  engine->setErrorText("before; ");
  EXPECT_FALSE(ScriptStream::openFile(*engine, path("absent.qvs")));
  EXPECT_EQ(engine->errorText(), "before; can't open the script file: " + path("absent.qvs") + "\n");
}

void writeEveryLetter(ScriptStream& s) {
  s.writeDecimal(-42);                   // a
  s.writeBytes("b\0c", 3);               // b
  s.writeByte(0xFE);                     // c
  s.writeDoubleLE(1.0);                  // d
  s.writeFixed(2.5);                     // f
  s.writeU16BE(0x1234);                  // i
  s.writeU32BE(0x89ABCDEF);              // l
  s.writeText("text");                   // s
  s.writeCounted("xy", 2);               // x
}

const std::string kEveryLetter = std::string("-42") + std::string("b\0c", 3) + "\xFE" +
                                  std::string("\0\0\0\0\0\0\xF0\x3F", 8) + "2.500000" + "\x12\x34" +
                                  "\x89\xAB\xCD\xEF" + "text" + std::string("\0\0\0\x02xy", 6);

TEST(ScriptStream, MemoryOutputHoldsEveryWrite) {
  auto s = ScriptStream::openMemory();
  EXPECT_EQ(s->kind(), ScriptStream::Kind::MemoryOutput);
  writeEveryLetter(*s);
  EXPECT_EQ(s->memory(), kEveryLetter);
  EXPECT_EQ(s->read(), 0);
}

TEST_F(ScriptStreamFiles, FileOutputThroughTheBlockAndStraight) {
  auto s = ScriptStream::createFile(path("out.bin"));
  ASSERT_TRUE(s);
  writeEveryLetter(*s);
  const std::string longRun(3000, 'L');  // at least half a block: written straight
  s->writeBytes(longRun.data(), longRun.size());
  std::string many;
  for (int i = 0; i < 5000; ++i) {
    s->writeByte(static_cast<std::uint8_t>(i));
    many += static_cast<char>(i);
  }
  EXPECT_TRUE(s->close());
  EXPECT_EQ(contents("out.bin"), kEveryLetter + longRun + many);
  EXPECT_FALSE(ScriptStream::createFile(path("no/such/dir/out.bin")));
}

} // namespace
} // namespace plumex::script::compiler
