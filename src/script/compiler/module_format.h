#pragma once
// The byte layout of compiled modules, shared by the writer, the reader,
// the listing and the loader: header and section numbers, constant types,
// big-endian fields and the decoding of one instruction.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "script/compiler/opcodes.h"

namespace plumex::script::compiler {

inline constexpr std::string_view kModuleMagic = "QS1b";
// Magic, four directory entries of 12 bytes and the terminator word.
inline constexpr std::size_t kModuleHeaderSize = 56;
inline constexpr std::size_t kDirectoryEntrySize = 12;
inline constexpr std::uint32_t kDirectoryEnd = 0xFFFFFFFF;

enum class SectionType : std::uint8_t { Code = 0, Constants = 1, Functions = 2, Lines = 3 };
inline constexpr int kSectionTypes = 4;

// Type bytes of the constant table. The writer produces Integer, String,
// Float, Name and RegExp; the loader also takes the other three.
enum class ConstantType : std::uint8_t {
  Null = 1,
  Boolean = 2,
  Integer = 3,
  String = 4,
  Float = 5,
  Name = 10,
  RegExp = 11,
  NaN = 13,
};

// Line table record tags.
inline constexpr std::uint8_t kLineTagSource = 1;
inline constexpr std::uint8_t kLineTagLine = 2;

// Name of the top-level program in the function table, and the prefix of
// the names the compiler gives anonymous and nested functions.
inline constexpr std::string_view kMainFunction = ".main";
inline constexpr std::string_view kAnonymousPrefix = "@F_";

inline std::uint32_t readBigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
inline std::uint32_t readLittleEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// One instruction as it sits in the code section. Byte, short, int and
// jump operands are sign-extended; name and const operands are the
// unsigned constant index.
struct DecodedInstruction {
  Op op;
  OperandClass operandClass;
  std::int64_t operand = 0;
  std::size_t size = 1;
};

// Decodes the instruction at `offset`. Nothing when the byte there is not
// an opcode or its operand runs past the end of `code`.
std::optional<DecodedInstruction> decodeInstruction(std::span<const std::uint8_t> code,
                                                    std::size_t offset);

} // namespace plumex::script::compiler
