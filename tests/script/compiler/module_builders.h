#pragma once
// Instruction lists by hand, and modules written from them with fixed
// filler bytes, for the tests of the module writer, reader, verifier,
// listing and loader.

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/compiler/instruction.h"
#include "script/compiler/module_image.h"
#include "script/compiler/module_writer.h"

namespace plumex::script::compiler::testing {

using Bytes = std::vector<std::uint8_t>;

inline Instruction functionLabel(std::string_view name) {
  Instruction i;
  i.op = kFunctionLabel;
  i.text = name;
  return i;
}

inline Instruction jumpLabel(int n) {
  Instruction i;
  i.op = kJumpLabel;
  i.kind = OperandKind::Label;
  i.integer = n;
  return i;
}

inline Instruction ins(Op op) {
  Instruction i;
  i.op = static_cast<int>(op);
  return i;
}

// Byte, short and int operands, and PUSHCONST of an Integer.
inline Instruction ins(Op op, std::int64_t v) {
  Instruction i = ins(op);
  i.kind = OperandKind::Integer;
  i.integer = v;
  return i;
}

// Names, and PUSHCONST of a String.
inline Instruction ins(Op op, std::string_view text) {
  Instruction i = ins(op);
  i.kind = OperandKind::Text;
  i.text = text;
  return i;
}

inline Instruction jump(Op op, int label) {
  Instruction i = ins(op);
  i.kind = OperandKind::Label;
  i.integer = label;
  return i;
}

inline Instruction pushFloat(double d) {
  Instruction i = ins(Op::PUSHCONST);
  i.kind = OperandKind::Float;
  i.number = d;
  return i;
}

inline Instruction pushRegExp(std::string_view pattern, int flags) {
  Instruction i = ins(Op::PUSHCONST);
  i.kind = OperandKind::RegExp;
  i.text = pattern;
  i.regexpFlags = flags;
  return i;
}

inline Instruction onLine(Instruction i, int line) {
  i.line = line;
  return i;
}

// Filler 0 in every directory type word, so that results repeat.
inline Bytes write(const InstructionList& list, bool lineTable = false, std::string_view source = {}) {
  ModuleWriteOptions options;
  options.lineTable = lineTable;
  options.sourceName = source;
  options.random = [] { return 0u; };
  return writeModule(list, options);
}

inline ModuleImage image(const InstructionList& list, bool lineTable = false, std::string_view source = {}) {
  return *ModuleImage::read(write(list, lineTable, source));
}

inline Bytes section(const ModuleImage& image, SectionType type) {
  const auto s = image.section(type);
  return Bytes(s.begin(), s.end());
}

} // namespace plumex::script::compiler::testing
