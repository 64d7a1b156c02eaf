// Calls of registered functions over the recording platform: the argument
// words of every kind, by value and by reference; what the function wrote
// coming back into boxes; the result of every kind.

#include <cstring>

#include "dll_fixture.h"
#include "hostlib/streams/string_stream.h"

namespace plumex::hostlib::dll {
namespace {

using namespace testing;

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  char b[4];
  for (std::uint8_t c : bytes) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

template <std::size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

class DllCall : public DllScript {
protected:
  // The global v: a Struct or StringStream by its bytes, else as shown.
  std::string shownV() {
    const script::Value v = e.global(e.internAnsi("v"));
    if (structs::layoutOf(v)) return "struct:" + hex(structs::structMemory(v));
    if (const auto content = streams::stringStreamContent(v)) return "stream:" + hex(*content);
    return describeValue(e, v);
  }

  void SetUp() override {
    ASSERT_EQ(run("struct { int a; int b; } Pair;"
                  "struct { int a; int b; int c; int d; } Quad;"),
                  "");
    platform.onCall = [this](std::span<const std::uint32_t> words, structs::Materialiser& memory) {
      blocks_.clear();
      for (std::uint32_t w : words) {
        const auto bytes = memory.resolve(w);
        blocks_.push_back(w != 0 && !bytes.empty() ? hex(bytes) : "");
      }
      if (write_) write_(words, memory);
      return outcome_;
    };
  }

  // The argument words as hex, each followed by the block it points at.
  std::string words() const {
    std::string out;
    for (std::size_t i = 0; i < platform.words.size(); ++i) {
      char w[16];
      std::snprintf(w, sizeof w, "%08x", platform.words[i]);
      out += (out.empty() ? "" : " ") + (blocks_[i].empty() ? std::string(w) : "[" + blocks_[i] + "]");
    }
    return out;
  }

  std::vector<std::string> blocks_;
  std::function<void(std::span<const std::uint32_t>, structs::Materialiser&)> write_;
  CallOutcome outcome_;
};

TEST_F(DllCall, ArgumentWordsOfEveryKind) {
  struct Row {
    const char* type;
    const char* argument;
    const char* words;
  };
  const Row rows[] = {
      // Numbers by value: the low bytes of the slot, or floating point.
      {"'char'", "-1", "000000ff"},
      {"'unsigned char'", "true", "00000001"},
      {"'short'", "-2", "0000fffe"},
      {"'long'", "-1", "ffffffff"},
      {"'ulong'", "4294967297", "00000001"},
      {"'int64'", "4294967298", "00000002 00000001"},
      {"'float'", "1.5", "3fc00000"},
      {"'double'", "1.5", "00000000 3ff80000"},
      {"'double'", "3", "00000000 40080000"},
      {"'pointer'", "305419896", "12345678"},
      {"'pointer'", "null", "00000000"},
      {"'long'", "2.9", "00000002"},
      {"'char'", "-2.9", "000000fe"},
      {"'int64'", "-1.5", "ffffffff ffffffff"},
      // A string's first code unit, all 16 bits of it.
      {"'char'", "String.fromCharCode(321, 65)", "00000141"},
      {"'long'", "'A'", "00000041"},
      {"'double'", "'A'", "00000000 40504000"},
      // An Object passes its "value".
      {"'long'", "{value: 7}", "00000007"},
      // Structures by value: their bytes in whole words.
      {"'Pair'", "pair", "00000001 00000002"},
      {"new DllParam(6, 0)", "stream", "64636261 00006665"},
      {"new DllParam(12, 0)", "stream", "64636261 00006665 00000000"},
      // By reference: a block of the kind's size, or a text.
      {"'char*'", "'hi'", "[686900]"},
      {"'widestring'", "'hi'", "[680069000000]"},
      {"'short*'", "-2", "[feff]"},
      {"'long*'", "true", "[01000000]"},
      {"'int64*'", "1.5", "[0100000000000000]"},
      {"'float*'", "2", "[00000040]"},
      {"'double*'", "2", "[0000000000000040]"},
      {"'char*'", "1", "[01]"},
      {"'long*'", "null", "00000000"},
      // writeString wrote a terminator too.
      {"'char*'", "stream", "[61626364656600]"},
      {"new DllParam(4, 1)", "stream", "[61626364]"},
      {"new DllParam(8, 1)", "stream", "[6162636465660000]"},
      {"'Pair*'", "pair", "[0100000002000000]"},
      {"'pointer'", "pair", "[0100000002000000]"},
      {"'pointer'", "stream", "[61626364656600]"},
      {"'char*'", "empty", "[00]"},
      {"new DllParam(4, 0)", "empty", "00000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.type) + " <- " + row.argument);
    ASSERT_EQ(run(std::string("pair = new Struct(Pair); pair.a = 1; pair.b = 2;"
                              "stream = new StringStream(); stream.writeString('abcdef'); empty = new StringStream();"
                              "show(Dll.registerFunction('test.dll', 'f', 'f', 'cdecl', 'void', ") +
                  row.type + ")); f(" + row.argument + ");"),
              "true");
    ASSERT_EQ(platform.calledProcedure, 0x1000u);
    EXPECT_EQ(words(), row.words);
  }
}

TEST_F(DllCall, ArgumentsThatCannotBePassedMakeNoCall) {
  struct Row {
    const char* type;
    const char* argument;
    const char* explanation;
  };
  const Row rows[] = {
      {"'long'", "''", "f: argument 1: String cannot be passed as long"},
      {"'pointer'", "'text'", "f: argument 1: String cannot be passed as pointer"},
      {"'pointer'", "1.5", "f: argument 1: Float cannot be passed as pointer"},
      {"'long'", "null", "f: argument 1: Null cannot be passed as long"},
      {"'long'", "undefined", "f: argument 1: Undefined cannot be passed as long"},
      {"'long'", "fn", "f: argument 1: Function cannot be passed as long"},
      {"'long'", "[1]", "f: argument 1: Array cannot be passed as long"},
      {"'long'", "{}", "f: argument 1: Undefined cannot be passed as long"},
      {"'Quad'", "pair", "f: argument 1: a Struct of 8 bytes for Quad of 16 bytes"},
      {"'Quad*'", "pair", "f: argument 1: a Struct of 8 bytes for Quad* of 16 bytes"},
      {"'long'", "pair", "f: argument 1: Struct cannot be passed as long"},
      {"'char*'", "Math", "f: argument 1: native object cannot be passed as char*"},
      {"'Pair'", "1", "f: argument 1: Integer cannot be passed as Pair"},
      {"'long*'", "'x'", "f: argument 1: String cannot be passed as long*"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.type) + " <- " + row.argument);
    platform.calls = 0;
    EXPECT_EQ(run(std::string("pair = new Struct(Pair); function fn() {}"
                              "Dll.registerFunction('test.dll', 'f', 'f', 'stdcall', 'long', 'long', ") +
                  row.type + "); show(f(1, " + row.argument + "));"),
              "undefined");
    EXPECT_EQ(platform.calls, 0);
    const auto lines = explanations();
    ASSERT_EQ(lines.size(), 1u);
    // The second argument is the one refused.
    std::string expected = row.explanation;
    expected.replace(expected.find("argument 1"), 10, "argument 2");
    EXPECT_EQ(lines[0], expected);
  }

  EXPECT_EQ(run("show(f(1));"), "undefined");
  EXPECT_EQ(platform.calls, 0);
  EXPECT_EQ(explanations(), std::vector<std::string>{"f: 1 arguments given, 2 declared"});
  // Arguments beyond the declared ones are ignored.
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'f', 'f', 'stdcall', 'long', 'long', 'long'); f(1, 2, 3, 'x');"),
            "");
  EXPECT_EQ(words(), "00000001 00000002");
}

TEST_F(DllCall, WhatTheFunctionWroteComesBackIntoBoxes) {
  struct Row {
    const char* type;
    const char* value;
    std::string written;  // what the function writes at its first argument
    const char* shows;
  };
  const Row rows[] = {
      {"'char*'", "1", bytes("\xff"), "-1"},
      {"'char*'", "'xxxxxxxx'", bytes("abc\0zzz"), "'abc'"},
      // No terminator: the text ends with its block.
      {"'char*'", "'xxxx'", bytes("abcde"), "'abcde'"},
      {"'char*'", "stream", bytes("AB"), "stream:414263646566676800"},
      {"'short*'", "0", bytes("\xfe\xff"), "-2"},
      {"'widestring'", "'xxxx'", bytes("h\0i\0\0\0"), "'hi'"},
      {"'widestring'", "'xx'", bytes("h\0i\0j\0"), "'hij'"},
      {"'long*'", "0", bytes("\xff\xff\xff\x7f"), "2147483647"},
      {"'ulong*'", "0", bytes("\xff\xff\xff\xff"), "-1"},
      {"'int64*'", "0", bytes("\0\0\0\0\1\0\0\0"), "4294967296"},
      {"'float*'", "0", bytes("\0\0\xc0\x3f"), "1.5f"},
      {"'double*'", "0", bytes("\0\0\0\0\0\0\xf8\x3f"), "1.5f"},
      {"'long*'", "stream", bytes("\1\0\0\0\2\0\0\0"), "stream:010000000200000000"},
      {"'Pair*'", "pair", bytes("\5\0\0\0\6\0\0\0"), "struct:0500000006000000"},
      {"'pointer'", "pair", bytes("\5\0\0\0\6\0\0\0"), "struct:0500000006000000"},
      {"'pointer'", "stream", bytes("xy"), "stream:787963646566676800"},
      {"new DllParam(8, 1)", "stream", bytes("\1\2\3"), "stream:0102036465666768"},
      {"new DllParam(8, 1)", "pair", bytes("\7"), "struct:0700000000000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.type) + " with " + row.value);
    write_ = [&](std::span<const std::uint32_t> words, structs::Materialiser& memory) {
      const auto block = memory.resolve(words[0]);
      std::memcpy(block.data(), row.written.data(), std::min(block.size(), row.written.size()));
    };
    ASSERT_EQ(run(std::string("pair = new Struct(Pair);"
                              "stream = new StringStream(); stream.writeString('abcdefgh');"
                              "Dll.registerFunction('test.dll', 'f', 'f', 'cdecl', 'void', ") +
                  row.type + "); box = {value: " + row.value + "}; f(box); v = box.value;"),
              "");
    EXPECT_EQ(shownV(), row.shows);
  }
  write_ = nullptr;
  // A plain argument keeps its value: nothing comes back.
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'f', 'f', 'cdecl', 'void', 'char*');"
                "s = 'text'; f(s); show(s);"),
            "'text'");
}

TEST_F(DllCall, ResultsOfEveryKind) {
  struct Row {
    const char* type;
    std::uint64_t integer;
    double floating;
    const char* shows;
    std::uint32_t flags;
  };
  const Row rows[] = {
      {"'void'", 5, 0, "undefined", 32},
      {"'char'", 0x1ff, 0, "-1", 32},
      {"'byte'", 0x1ff, 0, "-1", 32},
      {"'short'", 0x18000, 0, "-32768", 32},
      {"'long'", 0x1ffffffffull, 0, "-1", 32},
      {"'ulong'", 0xfffffffeull, 0, "-2", 32},
      {"'pointer'", 0x12345678, 0, "305419896", 32},
      {"'int64'", 0x100000002ull, 0, "4294967298", 32},
      {"'float'", 7, 2.5, "2.5f", 32 | 8},
      {"'double'", 7, -0.25, "-0.25f", 32 | 16},
      {"'double*'", 0xfffffffcull, 0, "-4", 32},
      {"'char*'", 0x10, 0, "16", 32},
      // Structures of 8 bytes or less come in EDX:EAX.
      {"'Pair'", 0x0000000400000003ull, 0, "struct:0300000004000000", 32},
      {"new DllParam(8, 0, 'Pair')", 0x0000000400000003ull, 0, "struct:0300000004000000", 32},
      // A layout of another size gives the bytes.
      {"new DllParam(4, 0, 'Pair')", 0x64636261, 0, "stream:61626364", 32},
      {"new DllParam(3, 0)", 0x64636261, 0, "stream:616263", 32},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    outcome_ = CallOutcome{row.integer, row.floating, std::nullopt};
    ASSERT_EQ(run(std::string("Dll.registerFunction('test.dll', 'f', 'f', 'stdcall', ") + row.type + "); v = f();"),
              "");
    EXPECT_EQ(shownV(), row.shows);
    EXPECT_EQ(platform.flags, row.flags);
    EXPECT_EQ(platform.words.size(), 0u) << "no hidden result pointer";
  }
}

TEST_F(DllCall, LargerStructureResultsComeThroughAHiddenFirstArgument) {
  write_ = [](std::span<const std::uint32_t> words, structs::Materialiser& memory) {
    const std::int32_t q[4] = {1, 2, 3, 4};
    const auto block = memory.resolve(words[0]);
    ASSERT_EQ(block.size(), 16u);
    std::memcpy(block.data(), q, sizeof q);
  };
  outcome_ = CallOutcome{0x77777777, 0, std::nullopt};  // EAX: the block's address, not read
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'f', 'f', 'cdecl', 'Quad', 'long');"
                "v = f(9);"),
            "");
  EXPECT_EQ(shownV(), "struct:01000000020000000300000004000000");
  ASSERT_EQ(platform.words.size(), 2u);
  EXPECT_EQ(platform.words[1], 9u);
  EXPECT_EQ(blocks_[0], "00000000000000000000000000000000") << "zeroed before the call";
}

TEST_F(DllCall, AnExceptionInTheFunctionIsARuntimeError) {
  outcome_ = CallOutcome{0, 0, 0xC0000005u};
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'f', 'strlen', 'cdecl', 'long', 'char*');"
                "try { strlen('x'); } catch (e) { show(e); } show('goes on');"),
            "'Runtime error: strlen: exception 0xC0000005 (access violation) in the DLL function' | 'goes on'");
  outcome_ = CallOutcome{0, 0, 0xE06D7363u};
  EXPECT_EQ(run("strlen('x');"),
            "error: Runtime error: strlen: exception 0xE06D7363 in the DLL function");
}

} // namespace
} // namespace plumex::hostlib::dll
