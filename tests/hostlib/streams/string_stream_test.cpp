// StringStream as scripts use it: each member's results, positions and
// modes, whole-content operations, and what a closed stream gives.

#include "stream_fixture.h"

namespace plumex::hostlib::streams {
namespace {

using namespace testing;

class StringStreamClass : public StreamScript {
protected:
  void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(run(c.script), c.shows) << c.script;
  }
};

TEST_F(StringStreamClass, NumbersAreLittleEndianAndZeroFilledAtTheEnd) {
  expectAll({
      {"var s = new StringStream(); s.putShort(258); show(s.get()); show(s.get()); show(s.get());", "2 | 1 | -1"},
      {"var s = StringStream(); s.put(1); s.put(0); s.put(0); s.put(0); show(s.getLong());", "1"},
      {"var s = new StringStream(); s.putShort(-2); s.putShort(65535); show(s.getShort()); show(s.getShort());",
       "-2 | -1"},
      {"var s = new StringStream(); s.write(-1, 4294967297); show(s.getLong()); show(s.getLong()); show(s);",
       "-1 | 1 | <bytes ff ff ff ff 01 00 00 00>"},
      {"var s = new StringStream(); s.putFloat(1.5); s.putFloat(7); s.write(2.25);"
       "show(s.getFloat()); show(s.getFloat()); show(s.getDouble()); show(s.length);",
       "1.5f | 7f | 2.25f | 16"},
      // Beyond single precision: infinity, not undefined behaviour.
      {"var s = new StringStream(); s.putFloat(1e300); s.putFloat(-1e300); show(s.getFloat()); show(s.getFloat());",
       "1.#INFf | -1.#INFf"},
      // At the end: the bytes that were there, zero-filled; then the flag.
      {"var s = new StringStream(); s.put(0x81); s.put(1); s.put(2); show(s.eof); show(s.getLong()); show(s.eof);"
       "show(s.getShort()); show(s.getDouble()); show(s.get());",
       "false | 131457 | true | 0 | 0f | -1"},
      // Numeric arguments are Integers only; put takes a String's first unit.
      {"var s = new StringStream(); s.putShort(1.5); s.putShort('7'); s.put('A\\u0142'); s.put(''); s.put(true);"
       "s.put(0x141); s.putFloat('1'); show(s);",
       "<bytes 41 41>"},
  });
}

TEST_F(StringStreamClass, WriteTakesEachKindItsOwnWay) {
  expectAll({
      {"var t = new StringStream(); t.write('xy'); var s = new StringStream();"
       "s.write(true, 7, 'ab', 0.5, null, undefined, NaN, new Array(1), t, false); show(s);",
       "<bytes 01 00 00 00 07 00 00 00 61 62 00 00 00 00 00 00 e0 3f 78 79 00 00 00 00>"},
      // Text in the ANSI code page: U+20AC is byte 0x80, U+4E00 is not there.
      {"var s = new StringStream(); s.write(String.fromCharCode(0xE9, 0x20AC, 0x4E00)); show(s);",
       "<bytes e9 80 3f>"},
      {"var s = new StringStream(); s.writeLine('a', 1); s.writeLine(); show(s);",
       "<bytes 61 01 00 00 00 0d 0a 0d 0a>"},
      // A stream written into itself doubles.
      {"var s = new StringStream(); s.write('ab'); s.write(s); s.write(s); show(s);",
       "<bytes 61 62 61 62 61 62 61 62>"},
      // A closed stream, or a stream of another class, adds nothing.
      {"var t = new StringStream(); t.write('x'); t.close(); var s = new StringStream(); s.write(t, new FileStream());"
       "show(s.length);",
       "0"},
  });
}

TEST_F(StringStreamClass, TerminatedTextsRoundTrip) {
  expectAll({
      {"var s = new StringStream(); s.writeString('AB'); show(s.length); show(s.readString()); show(s.eof);",
       "3 | 'AB' | false"},
      {"var s = new StringStream(); s.writeUnicodeString('AB'); show(s.length); show(s.readUnicodeString());",
       "6 | 'AB'"},
      // Each argument's text with its terminator; conversions as toString.
      {"var s = new StringStream(); s.writeString(1, null, 'x'); show(s);",
       "<bytes 31 00 75 6e 64 65 66 69 6e 65 64 00 78 00>"},
      {"var s = new StringStream(); s.writeUnicodeString(String.fromCharCode(0x4E00), ''); show(s);"
       "show(s.readUnicodeString()); show(s.readUnicodeString()); show(s.readUnicodeString());",
       "<bytes 00 4e 00 00 00 00> | '\\x4E00' | '' | ''"},
      // Without a terminator the text runs to the end; an odd last byte is a
      // unit of its own.
      {"var s = new StringStream(); s.write('ab'); show(s.readString()); show(s.eof);"
       "s.getPos = 0; show(s.readUnicodeString());",
       "'ab' | true | '\\x6261'"},
      {"var s = new StringStream(); s.write('abc'); show(s.readUnicodeString());", "'\\x6261c'"},
      {"var s = new StringStream(); s.write(String.fromCharCode(0x20AC)); s.put(0); show(s.readString());",
       "'\\x20AC'"},
  });
}

TEST_F(StringStreamClass, ReadLineEndsAtLineFeedsAndDropsCarriageReturns) {
  expectAll({
      {"var s = new StringStream(); s.write('a\\nb\\r\\nc');"
       "show(s.readLine()); show(s.readLine()); show(s.eof); show(s.readLine()); show(s.eof); show(s.readLine());",
       "'a' | 'b' | false | 'c' | true | ''"},
      // A lone carriage return is dropped; one at the end ends the line.
      {"var s = new StringStream(); s.write('x\\ry\\r'); show(s.readLine()); show(s.eof);", "'xy' | true"},
      {"var s = new StringStream(); s.write('\\n\\r\\n'); show(s.readLine()); show(s.readLine()); show(s.eof);",
       "'' | '' | false"},
  });
}

TEST_F(StringStreamClass, ReadGivesANewStreamOfWhatIsThere) {
  expectAll({
      {"var s = new StringStream(); s.write('abcd'); var r = s.read(10); show(r); show(r.length); show(s.eof);",
       "<bytes 61 62 63 64> | 4 | true"},
      {"var s = new StringStream(); s.write('abcd'); show(s.read(2)); show(s.get()); show(s.eof);",
       "<bytes 61 62> | 99 | false"},
      // The new stream is open both ways: read from its start, written at
      // its end.
      {"var s = new StringStream(); s.write('ab'); var r = s.read(1); r.write('Z'); show(r.get()); show(r);",
       "97 | <bytes 61 5a>"},
      {"var s = new StringStream(); s.write('ab'); show(s.read(0)); show(s.read(-1)); show(s.read('1'));"
       "show(s.read(1.5)); show(s.read()); show(s.getPos);",
       "undefined | undefined | undefined | undefined | undefined | 0"},
      // A count far beyond the content allocates only what is there.
      {"var s = new StringStream(); s.write('ab'); show(s.read(9007199254740991));", "<bytes 61 62>"},
      {"var s = new StringStream(); show(s.read(5));", "<bytes>"},
  });
}

TEST_F(StringStreamClass, PositionsAreSeparateAndMayLiePastTheEnd) {
  expectAll({
      {"var s = new StringStream(); s.write('abc'); show(s.getPos); show(s.putPos); show(s.get()); show(s.getPos);",
       "0 | 3 | 97 | 1"},
      // A write past the end fills the gap with zeros; the position stays.
      {"var s = new StringStream(); s.putPos = 3; show(s.putPos); show(s.length); s.put(7); show(s);",
       "3 | 0 | <bytes 00 00 00 07>"},
      {"var s = new StringStream(); s.write('abc'); s.putPos = 1; s.put(0x5A); show(s); show(s.putPos);",
       "<bytes 61 5a 63> | 2"},
      // Reading past the end finds the end; setting a position clears the flag.
      {"var s = new StringStream(); s.write('ab'); s.getPos = 9; show(s.get()); show(s.eof); show(s.getPos);"
       "s.getPos = 1.9; show(s.eof); show(s.get());",
       "-1 | true | 9 | false | 98"},
      // Negative numbers and other kinds are ignored.
      {"var s = new StringStream(); s.write('ab'); s.getPos = 1; s.getPos = -1; s.getPos = '0'; s.putPos = -2;"
       "show(s.getPos); show(s.putPos);",
       "1 | 2"},
      // A position far out: the write does nothing rather than fill memory.
      {"var s = new StringStream(); s.putPos = 4611686018427387904; s.put(1); show(s.length);"
       "s.putPos = 1e300; s.write('x'); show(s.length); show(s.putPos);",
       "0 | 0 | 9223372036854775807"},
  });
}

TEST_F(StringStreamClass, UngetStepsBackOrPutsAByteBack) {
  expectAll({
      {"var s = new StringStream(); s.write('ab'); s.get(); s.unget(); show(s.get());", "97"},
      {"var s = new StringStream(); s.write('ab'); s.get(); s.unget('Z'); show(s.get()); show(s);",
       "90 | <bytes 5a 62>"},
      {"var s = new StringStream(); s.write('ab'); s.get(); s.unget(0x159); show(s.get());", "89"},
      // Nothing at the start; an argument of another kind does nothing.
      {"var s = new StringStream(); s.write('ab'); s.unget(); s.unget(66); show(s.getPos); show(s.get());"
       "s.unget(true); show(s.getPos);",
       "0 | 97 | 1"},
      // It clears the end-of-data flag.
      {"var s = new StringStream(); s.write('a'); s.get(); s.get(); show(s.eof); s.unget(); show(s.eof);"
       "show(s.get());",
       "true | false | 97"},
      {"var s = new StringStream(); show(s.put(1)); show(s.unget()); show(s.flush()); show(s.write(1));",
       "undefined | undefined | undefined | undefined"},
  });
}

TEST_F(StringStreamClass, TheModeDecidesWhatReadsAndWritesDo) {
  expectAll({
      {"show($STREAM_IN); show($STREAM_OUT); show($STREAM_EOF); var s = new StringStream(); show(s.$STREAM_OUT);",
       "1 | 2 | -1 | 2"},
      // Input only: writes do nothing.
      {"var s = new StringStream($STREAM_IN); s.write('ab'); s.put(1); s.putShort(1); s.writeString('x');"
       "s.length = 5; show(s.length); show(s.get()); show(s.eof);",
       "0 | -1 | true"},
      // Output only: reads find the end.
      {"var s = new StringStream($STREAM_OUT); s.write('ab'); show(s.length); show(s.get()); show(s.eof);"
       "show(s.getShort()); show(s.readLine()); show(s.read(2)); show(s.readString()); show(s);",
       "2 | -1 | true | 0 | '' | <bytes> | '' | <bytes 61 62>"},
      // Anything but an Integer gives the default, both ways.
      {"var s = new StringStream('1'); s.write('a'); show(s.get());", "97"},
      {"var s = new StringStream(0); s.write('a'); show(s.length); show(s.get());", "0 | -1"},
  });
}

TEST_F(StringStreamClass, LengthGrowsWithZerosAtTheEndOnly) {
  expectAll({
      // Exactly to the new length, overwriting nothing, the positions kept.
      {"var s = new StringStream(); s.write('abcd'); s.putPos = 1; s.get(); s.length = 6;"
       "show(s); show(s.getPos); show(s.putPos);",
       "<bytes 61 62 63 64 00 00> | 1 | 1"},
      {"var s = new StringStream(); s.write('abcd'); s.length = 2; s.length = 4; s.length = -1; s.length = 9.5;"
       "s.length = '9'; show(s);",
       "<bytes 61 62 63 64>"},
      {"var s = new StringStream(); s.length = 4611686018427387904; show(s.length);", "0"},
  });
}

TEST_F(StringStreamClass, WholeContentOperationsKeepThePositions) {
  expectAll({
      {"var s = new StringStream(); s.write('abc'); show(s.crc); s.get(); show(s.crc); show(s.getPos);"
       "show(s.putPos);",
       "891568578 | 891568578 | 1 | 3"},
      // Unsigned, as zlib gives it.
      {"var s = new StringStream(); s.write('The quick brown fox jumps over the lazy dog'); show(s.crc);",
       "1095738169"},
      {"show(new StringStream().crc);", "0"},
      {"var s = new StringStream(); s.write('abc'); s.get(); var c = s.compress(); show(c.uncompress());"
       "show(s.getPos); show(c.getPos); show(c.putPos == c.length);",
       "<bytes 61 62 63> | 1 | 0 | true"},
      {"var s = new StringStream(); s.write('x' + String.fromCharCode(0xE9, 0) + 'y'); show(s.toString());"
       "show('' + s); show(s.getPos);",
       "'x\\xE9\\x00y' | 'x\\xE9\\x00y' | 0"},
      {"var s = new StringStream(); s.crc = 5; s.eof = true; show(s.crc); show(s.eof);", "0 | false"},
  });
}

TEST_F(StringStreamClass, CompressAndUncompress) {
  expectAll({
      // Level 0 stores; a level zlib refuses, or not an Integer.
      {"var s = new StringStream(); s.write('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa');"
       "show(s.compress(0).length > s.length); show(s.compress(9).length < s.length);"
       "show(s.compress('x').length == s.compress().length); show(s.compress(10)); show(s.compress(-2));"
       "show(s.compress(4294967302));",
       "true | true | true | null | null | null"},
      {"show(new StringStream().compress().uncompress());", "<bytes>"},
      // Not zlib data, truncated data, a bad checksum: Null, never a part.
      {"var s = new StringStream(); s.write('not zlib'); show(s.uncompress()); show(new StringStream().uncompress());",
       "null | null"},
      {"var s = new StringStream(); s.write('hello hello hello'); var c = s.compress(); var cut = c.read(c.length - 1);"
       "show(cut.uncompress());",
       "null"},
      {"var s = new StringStream(); s.write('hello'); var c = s.compress(); c.putPos = c.length - 1; c.put(0);"
       "show(c.uncompress());",
       "null"},
  });
}

TEST_F(StringStreamClass, AClosedStreamGivesUndefined) {
  expectAll({
      {"var s = new StringStream(); s.write('ab'); show(s.close()); show(s.get()); show(s.length); show(s.crc);"
       "show(s.eof); show(s.read(1)); show(s.compress()); show(s.readFromFile('x')); show(s.toString());"
       "s.write('a'); s.close(); show(s.$STREAM_IN);",
       "undefined | undefined | undefined | undefined | undefined | undefined | undefined | undefined | undefined | 1"},
  });
}

TEST_F(StringStreamClass, TheClassObject) {
  expectAll({
      {"show(StringStream.toString()); show('' + StringStream); show(StringStream.valueOf() == StringStream);",
       "'[object StringStream]' | '[object StringStream]' | true"},
      {"show(StringStream.get()); show(StringStream.length); show(StringStream.$STREAM_EOF);",
       "undefined | undefined | -1"},
      // Unknown members: the engine's usual warnings and expandos.
      {"var s = new StringStream(); s.extra = 5; show(s.extra); show(s.nothing); s.nosuch();",
       "5 | undefined | Warning: unknown method \"nosuch\""},
  });
}

TEST_F(StringStreamClass, SaveToFileAndReadFromFile) {
  writeBytes("old", "previous content");
  expectAll({
      {("var s = new StringStream(); s.write('new'); s.get(); show(s.saveToFile(" + literal("old") +
        ")); show(s.getPos);")
           .c_str(),
       "true | 1"},
      {("var r = StringStream.readFromFile(" + literal("old") + "); show(r); show(r.getPos); show(r.putPos);").c_str(),
       "<bytes 6e 65 77> | 0 | 3"},
      // On an instance the receiver does not change.
      {("var s = new StringStream(); s.write('z'); show(s.readFromFile(" + literal("old") + ")); show(s);").c_str(),
       "<bytes 6e 65 77> | <bytes 7a>"},
      {("show(StringStream.readFromFile(" + literal("missing") + ")); show(StringStream.readFromFile(1));").c_str(),
       "undefined | undefined"},
      {("var s = new StringStream(); show(s.saveToFile(" + literal("no/such/folder") + ")); show(s.saveToFile());")
           .c_str(),
       "false | false"},
  });
  EXPECT_EQ(readBytes("old"), Bytes({'n', 'e', 'w'}));
  // Nothing left beside the targets.
  EXPECT_EQ(listing(), std::vector<std::string>{"old"});
}

TEST_F(StringStreamClass, SaveToFileKeepsTheTargetWhenItCannotFinish) {
  // A folder in the target's place cannot be replaced by a file.
  ASSERT_TRUE(makeDirectory(path("target")));
  EXPECT_EQ(run("var s = new StringStream(); s.write('x'); show(s.saveToFile(" + literal("target") + "));"), "false");
  EXPECT_TRUE(directoryExists(path("target")));
  EXPECT_EQ(listing(), std::vector<std::string>{"target"});
}

} // namespace
} // namespace plumex::hostlib::streams
