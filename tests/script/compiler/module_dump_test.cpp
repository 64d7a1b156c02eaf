// The module listing: what quorvc --dump prints.

#include <gtest/gtest.h>

#include "module_builders.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_dump.h"

namespace plumex::script::compiler {
namespace {

using namespace testing;

TEST(ModuleDump, ListsTablesAndDisassemblesEachFunction) {
  const InstructionList list = {
      functionLabel("f"),
      onLine(ins(Op::LDSLOT, 1), 2), onLine(ins(Op::ADD2), 2), onLine(ins(Op::ADJUSTARGS, 3), 2),
      onLine(ins(Op::LDSLOT, 2), 3), onLine(jump(Op::JFALSE, 1), 3),
      onLine(ins(Op::PUSHCONST, "a\"b\n\xE9\x80"), 4), onLine(ins(Op::RETURN), 4),
      jumpLabel(1),
      onLine(pushRegExp("x+", kRegExpGlobal | kRegExpIgnoreCase), 6), onLine(pushFloat(0.1), 6),
      onLine(ins(Op::PUSHCONST, -7), 6), onLine(ins(Op::POPN, 3), 6), onLine(ins(Op::LDGLOBAL, "g"), 6),
      onLine(ins(Op::RETURN), 6),
      functionLabel(".main"),
      onLine(ins(Op::PUSH0), 9), onLine(ins(Op::LDGLOBAL, "f"), 9), onLine(ins(Op::CALL), 9),
  };
  const ModuleListing listing = dumpModule(image(list, true, "t.qvs"));
  EXPECT_TRUE(listing.ok);
  EXPECT_EQ(listing.text,
            "module QS1b, 4 sections\n"
            "  type 0   code       offset 0x0038  size 48     (type word 0x00000000)\n"
            "  type 1   constants  offset 0x0068  size 51     (type word 0x00000001)\n"
            "  type 2   functions  offset 0x009B  size 20     (type word 0x00000002)\n"
            "  type 3   lines      offset 0x00AF  size 55     (type word 0x00000003)\n"
            "constants: 6\n"
            "     0  string   \"a\\\"b\\n\\xE9\\u20AC\"\n"
            "     1  regexp   /x+/gi\n"
            "     2  float    0.1\n"
            "     3  integer  -7\n"
            "     4  name     \"g\"\n"
            "     5  name     \"f\"\n"
            "functions: 2\n"
            "  \"f\"  code 0x0000 to 0x0029\n"
            "  \".main\"  code 0x0029 to 0x0030\n"
            "lines: source \"t.qvs\", 5 records\n"
            "code: 48 bytes\n"
            "\"f\": max stack 6\n"
            "  0000  LDSLOT     1                    ; line 2\n"
            "  0002  ADD2\n"
            "  0003  ADJUSTARGS 3\n"
            "  0005  LDSLOT     2                    ; line 3\n"
            "  0007  JFALSE     0x0012\n"
            "  000C  PUSHCONST  #0 \"a\\\"b\\n\\xE9\\u20AC\"  ; line 4\n"
            "  0011  RETURN\n"
            "  0012  PUSHCONST  #1 /x+/gi            ; line 6\n"
            "  0017  PUSHCONST  #2 0.1\n"
            "  001C  PUSHCONST  #3 -7\n"
            "  0021  POPN       3\n"
            "  0023  LDGLOBAL   g\n"
            "  0028  RETURN\n"
            "\".main\": max stack 3\n"
            "  0029  PUSH0                           ; line 9\n"
            "  002A  LDGLOBAL   f\n"
            "  002F  CALL\n");
}

TEST(ModuleDump, ShowsWhatTheEngineWouldRefuse) {
  Bytes module = write({functionLabel(".main"), ins(Op::PUSH0), ins(Op::LDGLOBAL, "g"), ins(Op::RETURN)});
  module[56 + 1] = 0x6B;  // HALT where LDGLOBAL was
  const ModuleListing listing = dumpModule(*ModuleImage::read(module));
  EXPECT_FALSE(listing.ok);
  const std::string code = listing.text.substr(listing.text.find("code:"));
  EXPECT_EQ(code,
            "code: 7 bytes\n"
            "\".main\":\n"
            "  error: offset 0x0001: HALT is reserved\n"
            "  0000  PUSH0\n"
            "  0001  HALT\n"
            "  0002  byte 0x00\n"
            "  0003  byte 0x00\n"
            "  0004  byte 0x00\n"
            "  0005  byte 0x00\n"
            "  0006  RETURN\n");

  // A damaged constant table is listed as far as it reads.
  module[56 + 7] = 0x09;  // the Name's type byte
  const ModuleListing damaged = dumpModule(*ModuleImage::read(module));
  EXPECT_FALSE(damaged.ok);
  EXPECT_NE(damaged.text.find("constants: 0\n  error: unknown constant type 9 at offset 0\n"), std::string::npos)
      << damaged.text;
}

} // namespace
} // namespace plumex::script::compiler
