// The module writer and reader: the bytes a list becomes, the constant
// table's sharing, and which blocks the reader refuses.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "codegen_listing.h"
#include "module_builders.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_sections.h"

namespace plumex::script::compiler {
namespace {

using namespace testing;

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `getAdditionalFile(); return true;` as the code generator emits it.
InstructionList referenceProgram() {
  return {functionLabel(".main"), ins(Op::PUSH0), ins(Op::LDGLOBAL, "getAdditionalFile"), ins(Op::CALL),
          ins(Op::POPN, 3),       ins(Op::PUSHTRUE), ins(Op::RETURN)};
}

const Bytes kReferenceModule = {
    'Q', 'S', '1', 'b',
    0x00, 0, 0, 0, 0x38, 0, 0, 0, 11, 0, 0, 0,   // code
    0x01, 0, 0, 0, 0x43, 0, 0, 0, 19, 0, 0, 0,   // constants
    0x02, 0, 0, 0, 0x56, 0, 0, 0, 14, 0, 0, 0,   // functions
    0x03, 0, 0, 0, 0x64, 0, 0, 0, 0, 0, 0, 0,    // lines
    0xFF, 0xFF, 0xFF, 0xFF,
    0x5D, 0x58, 0, 0, 0, 0, 0x34, 0x66, 0x03, 0x60, 0x33,
    0x0A, 'g', 'e', 't', 'A', 'd', 'd', 'i', 't', 'i', 'o', 'n', 'a', 'l', 'F', 'i', 'l', 'e', 0,
    0, 0, 0, 1, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0,
};

TEST(ModuleWriter, WritesTheReferenceModule) {
  // With the system's random filler: equal once the three filler bytes of
  // each type word are masked.
  Bytes written = writeModule(referenceProgram());
  ASSERT_EQ(written.size(), 100u);
  for (int entry = 0; entry < 4; ++entry)
    for (int b = 1; b < 4; ++b) written[4 + 12 * entry + b] = 0;
  EXPECT_EQ(written, kReferenceModule);

  // The filler is 15 bits: random << 8 | type.
  ModuleWriteOptions options;
  options.random = [] { return 0xFFFFFFFFu; };
  const Bytes filled = writeModule(referenceProgram(), options);
  for (int entry = 0; entry < 4; ++entry)
    EXPECT_EQ(readLittleEndian32(&filled[4 + 12 * entry]), 0x7FFF00u | static_cast<unsigned>(entry));
}

TEST(ModuleWriter, EncodesOperandsBigEndianAndJumpsFromTheInstructionEnd) {
  const InstructionList add = {functionLabel("add"), ins(Op::LDSLOT, 1), ins(Op::ADD2), ins(Op::ADJUSTARGS, 4),
                               ins(Op::LDSLOT, 2),   ins(Op::LDSLOT, 3), ins(Op::ADD), ins(Op::RETURN)};
  EXPECT_EQ(section(image(add), SectionType::Code),
            (Bytes{0x56, 0x01, 0x23, 0x2D, 0x04, 0x56, 0x02, 0x56, 0x03, 0x44, 0x33}));

  const InstructionList jumps = {functionLabel(".main"), jumpLabel(1),          ins(Op::PUSHINT, -2),
                                 ins(Op::RESERVE, 0x1234), ins(Op::ROT, -3),     jump(Op::JTRUE, 1),
                                 jump(Op::JMP, 2),       ins(Op::SLIDEW, 300),  jumpLabel(2),
                                 ins(Op::PUSHUNDEF)};
  EXPECT_EQ(section(image(jumps), SectionType::Code),
            (Bytes{0x59, 0xFF, 0xFF, 0xFF, 0xFE,  // PUSHINT -2
                   0x2E, 0x12, 0x34,              // RESERVE
                   0x63, 0xFD,                    // ROT -3
                   0x37, 0xFF, 0xFF, 0xFF, 0xF1,  // JTRUE back to 0 from 15
                   0x35, 0x00, 0x00, 0x00, 0x05,  // JMP over SLIDEW
                   0x71, 0x00, 0x00, 0x01, 0x2C,  // SLIDEW 300
                   0x5E}));
}

TEST(ModuleWriter, WritesTheFunctionAndLineTables) {
  const InstructionList list = {functionLabel("f"),         onLine(ins(Op::PUSH0), 4), onLine(ins(Op::PUSH1), 4),
                                onLine(ins(Op::RETURN), 5), functionLabel(".main"),   onLine(ins(Op::PUSHNULL), 5),
                                onLine(ins(Op::NOP), 0)};
  const ModuleImage withLines = image(list, true, "app.qvs");
  EXPECT_EQ(section(withLines, SectionType::Functions),
            (Bytes{0, 0, 0, 2, 'f', 0, 0, 0, 0, 0, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 3}));
  // The source record first; then a record after each instruction whose
  // line differs from the last one written, the first included.
  EXPECT_EQ(section(withLines, SectionType::Lines),
            (Bytes{1, 0, 0, 0, 7, 'a', 'p', 'p', '.', 'q', 'v', 's',
                   2, 0, 0, 0, 1, 0, 0, 0, 4,
                   2, 0, 0, 0, 3, 0, 0, 0, 5,
                   2, 0, 0, 0, 5, 0, 0, 0, 0}));
  EXPECT_TRUE(section(image(list), SectionType::Lines).empty());
}

TEST(ModuleWriter, SharesConstantsOnlyWhenTypeAndValueAgree) {
  // Through the front end, so that 0.1 and 0.10 are what the lexer makes.
  const auto g = generate("a = 0.1; b = 0.10; c = 5; d = 5.0; e = 1e-40; f = 2e-40; g = 'x'; x = 5;"
                          "h = /ab/g; i = /abg/; j = /ab/g; k = 'a'; a;");
  ASSERT_TRUE(g.ok) << g.messages;
  const ModuleConstants constants = readConstants(image(g.code));
  ASSERT_TRUE(constants.error.empty());
  std::vector<std::string> seen;
  for (const ModuleConstant& c : constants.entries) {
    switch (static_cast<ConstantType>(c.type)) {
    case ConstantType::Float: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "float %g", c.number);
      seen.push_back(buffer);
      break;
    }
    case ConstantType::Integer: seen.push_back("integer " + std::to_string(c.integer)); break;
    case ConstantType::Name: seen.push_back("name " + c.name); break;
    case ConstantType::String: seen.push_back("string " + std::string(c.text.begin(), c.text.end())); break;
    case ConstantType::RegExp:
      seen.push_back("regexp " + std::string(c.text.begin(), c.text.end()) + " " + std::to_string(c.flags));
      break;
    default: seen.push_back("?");
    }
  }
  // Indices follow first use; "x" the String and x the Name are two; the
  // Name x and the variable named x share.
  const std::vector<std::string> expected = {
      "float 0.1", "name a", "name b", "integer 5", "name c", "float 5", "name d", "float 1e-40", "name e",
      "float 2e-40", "name f", "string x", "name g", "name x", "regexp ab 1", "name h", "regexp abg 0",
      "name i", "name j", "string a", "name k"};
  EXPECT_EQ(seen, expected);
}

TEST(ModuleWriter, StoresTextsAsUtf16FromTheAnsiCodePage) {
  // 0xE9 is U+00E9 and 0x80 U+20AC in Windows-1252, the code page our
  // systems use.
  const InstructionList list = {functionLabel(".main"), ins(Op::PUSHCONST, "caf\xE9 \x80"),
                                pushRegExp("\xE9", kRegExpGlobal | kRegExpMultiline), ins(Op::PUSHCONST, -1)};
  EXPECT_EQ(section(image(list), SectionType::Constants),
            (Bytes{4, 0, 0, 0, 12, 'c', 0, 'a', 0, 'f', 0, 0xE9, 0, ' ', 0, 0xAC, 0x20,
                   11, 5, 0, 0, 0, 2, 0xE9, 0,
                   3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  const InstructionList number = {functionLabel(".main"), pushFloat(1.5)};
  EXPECT_EQ(section(image(number), SectionType::Constants), (Bytes{5, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
}

TEST(ModuleWriter, RefusesListsTheGeneratorShouldNeverMake) {
  struct Case {
    const char* what;
    InstructionList list;
  };
  const Case cases[] = {
      {"a jump to a missing label", {functionLabel("f"), jump(Op::JMP, 7)}},
      {"a label defined twice", {functionLabel("f"), jumpLabel(1), jumpLabel(1)}},
      {"a jump into another function",
       {functionLabel("f"), jumpLabel(1), ins(Op::NOP), functionLabel("g"), jump(Op::JMP, 1)}},
      {"a byte operand out of range", {functionLabel("f"), ins(Op::SLIDE, 128)}},
      {"a short operand out of range", {functionLabel("f"), ins(Op::RESERVE, -32769)}},
      {"code before the first function", {ins(Op::NOP), functionLabel("f")}},
      {"a name without text", {functionLabel("f"), ins(Op::LDGLOBAL, 3)}},
      {"a constant without a kind", {functionLabel("f"), ins(Op::PUSHCONST)}},
      {"a number outside the set", {functionLabel("f"), ins(static_cast<Op>(20))}},
  };
  for (const Case& c : cases) EXPECT_THROW(writeModule(c.list), ModuleWriteError) << c.what;
}

TEST(ModuleReader, ReadsSectionsWithTheirTypeFromTheLowByte) {
  Bytes module = kReferenceModule;
  // Arbitrary filler, even all ones above a type byte.
  module[5] = 0xAB, module[6] = 0xCD, module[7] = 0xEF;
  module[16 + 1] = module[16 + 2] = module[16 + 3] = 0xFF;
  const auto read = ModuleImage::read(module);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->sections().size(), 4u);
  EXPECT_EQ(read->sections()[0].typeWord, 0xEFCDAB00u);
  EXPECT_EQ(read->sections()[1].type(), 1);
  EXPECT_EQ(section(*read, SectionType::Code), Bytes(module.begin() + 56, module.begin() + 67));
  EXPECT_EQ(section(*read, SectionType::Functions), Bytes(module.begin() + 86, module.end()));
  // Each copy ends in one extra 0 byte.
  EXPECT_EQ(read->sections()[1].bytes.size(), 20u);
  EXPECT_EQ(read->sections()[1].bytes.back(), 0);
}

TEST(ModuleReader, SkipsAFirstLineStartingWithHash) {
  const auto read = ModuleImage::read(cat(bytesOf("#!/usr/bin/env quorv\n"), kReferenceModule));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->sections()[2].offset, 0x56u);
  EXPECT_EQ(section(*read, SectionType::Code), Bytes(kReferenceModule.begin() + 56, kReferenceModule.begin() + 67));
}

TEST(ModuleReader, RefusesBlocksItCannotTrust) {
  // The reference module with 32-bit words replaced: (position, value).
  auto with = [](std::initializer_list<std::pair<std::size_t, std::uint32_t>> words) {
    Bytes b = kReferenceModule;
    for (const auto& [at, v] : words)
      for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  struct Case {
    const char* what;
    Bytes block;
  };
  const Case cases[] = {
      {"a '#' line without a newline", bytesOf("#!quorv QS1b")},
      {"a lone '#'", bytesOf("#")},
      {"another magic", cat(bytesOf("QS1a"), Bytes(kReferenceModule.begin() + 4, kReferenceModule.end()))},
      {"the magic after text", cat(bytesOf("x\n"), kReferenceModule)},
      {"fewer than 8 bytes", bytesOf("QS1b\xFF\xFF\xFF")},
      {"fewer than 8 bytes after the first line", bytesOf("#\nQS1b\xFF\xFF\xFF")},
      {"no terminator in the block", Bytes(kReferenceModule.begin(), kReferenceModule.begin() + 50)},
      {"an entry cut short", Bytes(kReferenceModule.begin(), kReferenceModule.begin() + 10)},
      {"a section running past the end", with({{12, 45}})},
      {"a section starting past the end", with({{20, 101}})},
      {"a size that wraps", with({{12, 0xFFFFFFF0u}})},
      {"an unknown type outside the block", with({{40, 0x0909}, {44, 0x1000}})},
  };
  for (const Case& c : cases) EXPECT_FALSE(ModuleImage::read(c.block)) << c.what;

  // The terminator alone is a module with nothing in it.
  const auto empty = ModuleImage::read(bytesOf("QS1b\xFF\xFF\xFF\xFF"));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->sections().empty());
  EXPECT_TRUE(empty->section(SectionType::Code).empty());
}

TEST(ModuleReader, ReadsFiles) {
  const auto path = std::filesystem::temp_directory_path() / "plumex-module-reader.qsc";
  {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(kReferenceModule.data()), static_cast<std::streamsize>(kReferenceModule.size()));
  }
  const auto read = ModuleImage::readFile(path.string());
  std::filesystem::remove(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(section(*read, SectionType::Constants), Bytes(kReferenceModule.begin() + 67, kReferenceModule.begin() + 86));
  EXPECT_FALSE(ModuleImage::readFile(path.string()));
}

} // namespace
} // namespace plumex::script::compiler
