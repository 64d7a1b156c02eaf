// FileStream as scripts use it: opening by path and mode, the temporary
// file, reading and writing mixed freely, positions, length and lines.

#include "stream_fixture.h"

namespace plumex::hostlib::streams {
namespace {

using namespace testing;

class FileStreamClass : public StreamScript {
protected:
  // The script with PATH replaced by the literal of the scratch file `name`.
  std::string on(std::string_view name, std::string script) {
    const std::string lit = literal(name);
    for (std::size_t at = script.find("PATH"); at != std::string::npos; at = script.find("PATH", at + lit.size()))
      script.replace(at, 4, lit);
    return run(script);
  }
};

TEST_F(FileStreamClass, OpeningByPathAndMode) {
  writeBytes("there", "abc");
  const Case cases[] = {
      // One path: an existing file for reading and writing.
      {"show(new FileStream(PATH + 'missing'));", "null"},
      {"var f = new FileStream(PATH + 'there'); show(f.get()); f.put(0x5A); f.close();"
       "show(StringStream.readFromFile(PATH + 'there'));",
       "97 | <bytes 61 5a 63>"},
      // A second argument that is not a String is no mode.
      {"show(new FileStream(PATH + 'missing', 1));", "null"},
      {"show(new FileStream(5)); show(new FileStream(null, 'w')); show(FileStream(undefined));",
       "null | null | null"},
      // A mode: the C library's open, in byte mode whatever it says.
      {"var f = new FileStream(PATH + 'made', 'w'); f.write('a\\nb'); f.close();"
       "show(StringStream.readFromFile(PATH + 'made'));",
       "<bytes 61 0a 62>"},
      {"var f = Stream(PATH + 'made', 'rt'); show(f.readLine()); show(f.put(1)); f.close();", "'a' | false"},
      {"var f = new FileStream(PATH + 'made', 'a+t'); f.write('\\r\\n'); f.pos = 0; show(f.read(9));",
       "<bytes 61 0a 62 0d 0a>"},
      {"show(new FileStream(PATH + 'missing', 'r+')); show(new FileStream(PATH + 'missing', 'rb'));", "null | null"},
  };
  for (const Case& c : cases) EXPECT_EQ(on("", c.script), c.shows) << c.script;
  EXPECT_EQ(listing(), (std::vector<std::string>{"made", "there"}));
}

TEST_F(FileStreamClass, AModeTheLibraryMightRefuseGivesNullBeforeAnyOpen) {
  for (const char* mode : {"", "x", "rw", "r++", "rbt", "rtt", "wbb", "wx", "w+bD", "b", "+r", "R"}) {
    EXPECT_EQ(on("m", std::string("show(new FileStream(PATH, '") + mode + "'));"), "null") << mode;
  }
  EXPECT_TRUE(listing().empty());
}

TEST_F(FileStreamClass, ReadsAndWritesMixWithoutSeeking) {
  const Case cases[] = {
      {"var f = new FileStream(PATH, 'w+'); f.write('abc'); f.pos = 0; show(f.get()); f.put(0x5A); f.put(0x59);"
       "show(f.get()); f.pos = 0; show(f.read(10));",
       "97 | -1 | <bytes 61 5a 59>"},
      {"var f = new FileStream(PATH, 'w+'); f.putShort(258); f.write(-1, 2.5); f.putFloat(1.5); f.pos = 0;"
       "show(f.getShort()); show(f.getLong()); show(f.getDouble()); show(f.getFloat()); show(f.eof); show(f.get());"
       "show(f.eof); show(f.getLong()); show(f.length);",
       "258 | -1 | 2.5f | 1.5f | false | -1 | true | 0 | 18"},
      // A partial number at the end: the bytes that were there.
      {"var f = new FileStream(PATH, 'w+'); f.put(1); f.put(2); f.pos = 0; show(f.getLong());", "513"},
      {"var f = new FileStream(PATH, 'w+'); f.writeString('ab', 1); f.writeUnicodeString('c'); f.pos = 0;"
       "show(f.readString()); show(f.readString()); show(f.readUnicodeString()); show(f.readString());"
       "show(f.eof);",
       "'ab' | '1' | 'c' | '' | true"},
      // Reading a file written through another stream in the same script.
      {"var s = new StringStream(); s.write('xyz'); var f = new FileStream(PATH, 'w+'); f.write(s, s); f.pos = 1;"
       "show(f.read(4)); show(f.pos);",
       "<bytes 79 7a 78 79> | 5"},
  };
  for (const Case& c : cases) EXPECT_EQ(on("f", c.script), c.shows) << c.script;
}

TEST_F(FileStreamClass, ReadLineRemovesOnlyTheFinalLineEnd) {
  writeBytes("lines", "a\r\nb\nc\r\rd\r");
  EXPECT_EQ(on("lines", "var f = new FileStream(PATH); show(f.readLine()); show(f.readLine()); show(f.readLine());"
                        "show(f.eof); show(f.readLine()); show(f.eof); show(f.readLine());"),
            "'a' | 'b' | 'c\\x0D\\x0Dd\\x0D' | true | '' | true | ''");
}

TEST_F(FileStreamClass, PutUngetAndFlushGiveTheirSuccess) {
  writeBytes("f", "ab");
  EXPECT_EQ(on("f", "var f = new FileStream(PATH); show(f.unget()); show(f.get()); show(f.unget()); show(f.get());"
                    "show(f.unget(0x43)); show(f.get()); show(f.get()); show(f.unget('')); show(f.unget(true));"
                    "show(f.put(0x44)); show(f.put('')); show(f.put(null)); show(f.flush()); show(f.pos);"
                    "show(f.write('x')); show(f.putShort(1)); f.close();"),
            "false | 97 | true | 97 | true | 67 | 98 | false | false | true | false | false | true | 3 | "
            "undefined | undefined");
  EXPECT_EQ(readBytes("f"), Bytes({'a', 'b', 'D', 'x', 1, 0}));
}

TEST_F(FileStreamClass, PositionAndLength) {
  writeBytes("f", "abcdef");
  EXPECT_EQ(on("f", "var f = new FileStream(PATH); f.pos = 4; show(f.get()); show(f.pos); f.pos = 1.9; show(f.get());"
                    "f.pos = -1; f.pos = '0'; show(f.pos); f.pos = 10; show(f.get()); show(f.eof); f.pos = 0;"
                    "show(f.eof); show(f.length);"),
            "101 | 5 | 98 | 2 | -1 | true | false | 6");
  // Only a shorter length cuts, after moving to the start.
  EXPECT_EQ(on("f", "var f = new FileStream(PATH); f.pos = 5; f.length = 9; f.length = 6; f.length = -1;"
                    "f.length = 'x'; show(f.length); show(f.pos); f.length = 3.5; show(f.length); show(f.pos);"
                    "f.write('Z'); show(f.length);"),
            "6 | 5 | 3 | 0 | 3");
  EXPECT_EQ(readBytes("f"), Bytes({'Z', 'b', 'c'}));
  // The length counts what was written and not yet flushed.
  EXPECT_EQ(on("g", "var f = new FileStream(PATH, 'w'); f.write('abcd'); show(f.length); f.put(1); show(f.length);"),
            "4 | 5");
}

TEST_F(FileStreamClass, TheTemporaryFileIsGoneOnceClosed) {
  EXPECT_EQ(run("var f = new FileStream(); f.writeLine('temp'); f.pos = 0; show(f.readLine()); show(f.length);"
                "var g = new Stream(); g.put(1); show(g.length); f.close(); g.close(); show(f.get());"),
            "'temp' | 6 | 1 | undefined");
  EXPECT_TRUE(listing().empty());
}

TEST_F(FileStreamClass, AClosedStreamAndTheClassObject) {
  EXPECT_EQ(on("f", "var f = new FileStream(PATH, 'w'); show(f); show(f.toString()); show(f.close()); show(f.put(1));"
                    "show(f.flush()); show(f.pos); show(f.length); show(f.eof); show(f.readLine()); show(f.close());"),
            "<[object FileStream]> | '[object FileStream]' | undefined | undefined | undefined | undefined | undefined | "
            "undefined | undefined | undefined");
  EXPECT_EQ(run("show(FileStream.toString()); show(Stream == FileStream); show(FileStream.get()); show(Stream.pos);"
                "show(FileStream.readFromFile);"),
            "'[object FileStream]' | true | undefined | undefined | undefined");
}

} // namespace
} // namespace plumex::hostlib::streams
