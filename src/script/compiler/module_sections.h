#pragma once
// The tables of a compiled module decoded from their sections: constants,
// functions with their code ranges, and line records. The loader turns
// them into engine values and code records; the listing prints them.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "script/compiler/module_format.h"

namespace plumex::script::compiler {

class ModuleImage;

struct ModuleConstant {
  std::uint8_t type = 0;     // a ConstantType
  std::uint32_t offset = 0;  // of its type byte in the section
  std::int64_t integer = 0;  // Integer; Boolean (0 or 1)
  double number = 0;         // Float
  std::u16string text;       // String; RegExp pattern
  std::string name;          // Name
  int flags = 0;             // RegExp: g 1, i 2, m 4
};

struct ModuleFunction {
  std::string name;
  std::uint32_t offset = 0;  // range in the code section
  std::uint32_t end = 0;
  bool isMain() const { return name == kMainFunction; }
};

struct LineRecord {
  std::uint32_t offset = 0;  // just after an instruction, in the code section
  std::int32_t line = 0;
};

// Each table holds the entries read before any error; error is empty when
// the whole section was read.
struct ModuleConstants {
  std::vector<ModuleConstant> entries;
  std::string error;
};
struct ModuleFunctions {
  std::vector<ModuleFunction> entries;
  std::string error;
};
struct ModuleLines {
  bool hasSource = false;
  std::string source;
  std::vector<LineRecord> entries;
  std::string error;
};

ModuleConstants readConstants(const ModuleImage& image);
// Function code runs from its offset to the next function's offset, the
// last to the end of the code section; offsets beyond the code or going
// backwards are errors.
ModuleFunctions readFunctions(const ModuleImage& image);
ModuleLines readLines(const ModuleImage& image);

// Whether name is an "@F_<n>" name, and its number (the decimal digits
// after the prefix, as far as they go, modulo 2^32).
bool isAnonymousName(std::string_view name);
std::uint32_t anonymousNumber(std::string_view name);

} // namespace plumex::script::compiler
