// Writes a few well-formed inputs for each fuzz target into
// OUT/<target>/, made by our own writers so they follow the formats as they
// change. Usage: fuzz_seeds OUT
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "container/archive.h"
#include "container/packed_block.h"
#include "container/pe/pe_resources.h"
#include "container/records.h"
#include "container/settings_record.h"
#include "script/compiler/code_generator.h"
#include "script/compiler/module_writer.h"
#include "script/compiler/optimizer.h"
#include "script/compiler/parser.h"

namespace fs = std::filesystem;
using namespace plumex::container;
using Bytes = std::vector<std::uint8_t>;

namespace {

fs::path out;

void seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(out / target);
  std::ofstream f(out / target / name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

ArchiveEntry file(std::string name, std::string content) {
  return {std::move(name), false, bytesOf(content), {}};
}
ArchiveEntry folder(std::string name, std::vector<ArchiveEntry> children) {
  return {std::move(name), true, {}, std::move(children)};
}

// A PE32 image with one empty data section and room for more section
// headers, as the resource writer needs.
Bytes plainImage() {
  Bytes b(0x400, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v), b[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'M', b[1] = 'Z';
  put32(0x3C, 0x40);
  b[0x40] = 'P', b[0x41] = 'E';
  const std::size_t fileHeader = 0x44, optional = 0x58;
  put16(fileHeader, 0x14C);
  put16(fileHeader + 2, 1);
  put16(fileHeader + 16, 0xE0);
  put16(optional, 0x10B);
  put32(optional + 32, 0x1000); // section alignment
  put32(optional + 36, 0x200);  // file alignment
  put32(optional + 56, 0x2000); // size of image
  put32(optional + 60, 0x200);  // size of headers
  put32(optional + 92, 16);     // data directories
  const std::size_t section = optional + 0xE0;
  std::copy_n(".data", 5, b.begin() + static_cast<std::ptrdiff_t>(section));
  put32(section + 8, 0x200);
  put32(section + 12, 0x1000);
  put32(section + 16, 0x200);
  put32(section + 20, 0x200);
  put32(section + 36, 0xC0000040);
  return b;
}

// A script compiled by our own front end, code generator and writer.
Bytes compiled(std::string_view source, bool lineTable) {
  using namespace plumex::script::compiler;
  auto in = ScriptStream::openText(source);
  auto messages = ScriptStream::openMemory();
  auto tree = parseProgram(*in, *messages, 0);
  if (!tree) return {};
  Diagnostics diagnostics(*messages);
  InstructionList code = generateCode(*tree, diagnostics);
  optimize(code);
  ModuleWriteOptions options;
  options.lineTable = lineTable;
  options.sourceName = "seed.qvs";
  return writeModule(code, options);
}

// try { f(); } finally {} as the format's documentation lays it out: the
// finally part entered with one value on the normal path and two on the
// path that throws again.
Bytes flaggedFinally() {
  using namespace plumex::script::compiler;
  auto op = [](Op o, OperandKind kind = OperandKind::None, std::int64_t v = 0, std::string_view text = {}) {
    Instruction i;
    i.op = static_cast<int>(o);
    i.kind = kind;
    i.integer = v;
    i.text = text;
    return i;
  };
  auto label = [](int n) {
    Instruction i;
    i.op = kJumpLabel;
    i.integer = n;
    return i;
  };
  Instruction main;
  main.op = kFunctionLabel;
  main.text = ".main";
  const InstructionList code = {
      main, op(Op::TRY, OperandKind::Label, 1), op(Op::PUSH0), op(Op::LDGLOBAL, OperandKind::Text, 0, "f"),
      op(Op::CALL), op(Op::POPN, OperandKind::Integer, 3), op(Op::LEAVETRY, OperandKind::Integer, 1),
      op(Op::PUSHFALSE), op(Op::JMP, OperandKind::Label, 2), label(1), op(Op::PUSHTRUE), label(2),
      op(Op::JFRAW, OperandKind::Label, 3), op(Op::THROW), label(3), op(Op::PUSHUNDEF)};
  return writeModule(code);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds OUT\n";
    return 2;
  }
  out = argv[1];

  seed("unpack", "text", packBlock(bytesOf("a packed block holds settings, masks and modules")));
  seed("unpack", "empty", packBlock({}));
  seed("unpack", "zeros", packBlock(Bytes(3000, 0)));

  seed("settings", "empty", writeSettings(SettingsRecord{}));
  SettingsRecord s;
  s.productName = "Product";
  s.appearance.caption = "Caf\xE9";
  s.appearance.maskName = "shape";
  s.misc.helpFile = "help\\app.chm";
  s.about.font1.faceName = "Arial";
  s.about.link1Target = "http://127.0.0.1/";
  s.packager.text = "pk";
  seed("settings", "full", writeSettings(s));

  seed("mask_list", "two", writeMaskList({{"shape", {1, 2, 3, 4}}, {"other.msk", {}}}));
  seed("mask_list", "none", writeMaskList({}));

  MovieRecord movie;
  movie.kind = 1;
  movie.mainMovie = "main.swf";
  seed("records", "movie", writeMovieRecord(movie));
  movie.protection[0] = 0x5A;
  seed("records", "movie_protected", writeMovieRecord(movie));
  const Guid guid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  seed("records", "identity", writeIdentity(u"Software\\Maker\\App/Profile", guid));
  seed("records", "identity_no_profile", writeIdentity(u"App", guid));

  // The archive target requests "a", "d/a", "d/", "d/e/" and everything.
  const std::vector<ArchiveEntry> tree = {
      file("a", "root a"),
      folder("d", {file("A", "d's a"), folder("e", {file("x.txt", std::string(500, 'x'))})}),
      file("b.bin", "b"),
  };
  seed("archive", "tree", writeArchive(tree));
  seed("archive", "one", writeArchive({file("a", "")}));

  const Bytes image = plainImage();
  seed("pe_resources", "plain", image);
  // Images the resource writer once turned into ones its reader could not
  // read back, or whose archive would have been looked for in the wrong place.
  auto section32 = [](Bytes b, std::size_t field, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[0x138 + field + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  // Raw data past the end of the file, addressed where the new section went,
  // behind an empty second section that is last in the file.
  Bytes beyond = section32(section32(image, 12, 0x20000), 16, 0x100000);
  beyond[0x46] = 2;
  for (int i = 0; i < 4; ++i) beyond[0x160 + 20 + i] = static_cast<std::uint8_t>(0x400 >> (8 * i));
  seed("pe_resources", "raw_beyond_file", beyond);
  // An empty section where the new section's raw data begins.
  seed("pe_resources", "empty_section_at_end", section32(section32(image, 16, 0), 20, 0x400));
  // No sections and SizeOfImage 0: the new section went to RVA 0.
  Bytes bare = image;
  bare[0x46] = 0;
  std::fill(bare.begin() + 0x58 + 56, bare.begin() + 0x58 + 60, 0);
  std::fill(bare.begin() + 0x138, bare.begin() + 0x138 + 40, 0);
  seed("pe_resources", "no_sections", bare);
  const std::vector<Resource> resources = {
      {ResourceId::name(u"PLUMEX"), ResourceId::name(u"ST"), 0, bytesOf("settings")},
      {ResourceId::number(3), ResourceId::number(1), 0x409, bytesOf("icon")},
      {ResourceId::number(3), ResourceId::number(2), 0x407, {}},
  };
  seed("pe_resources", "resources", addResources(image, resources));

  seed("module_loader", "calls", compiled("function add(a, b) { return a + b; } add(1, 2.5);", false));
  seed("module_loader", "control",
       compiled("function f(o) { var s = ''; for (k in o) { switch (k) { case 'a': continue; default: s += k; } }"
                " while (s.length < 3) s = s + '\xE9'; return s; } f({a: 1, b: [1, , 3]});",
                true));
  seed("module_loader", "try",
       compiled("try { g(); } catch (e if e == 1) { h(); } catch (e) { throw e; } finally { "
                "try { x = /a+b/gi; } finally { with (o) { y = function () { return arguments[0]; }; } } }",
                true));
  Bytes hashLine = bytesOf("#!/usr/bin/env quorv\n");
  const Bytes plain = compiled("getAdditionalFile(); return true;", false);
  hashLine.insert(hashLine.end(), plain.begin(), plain.end());
  seed("module_loader", "hash_line", hashLine);
  seed("module_loader", "flagged_finally", flaggedFinally());
  return 0;
}
