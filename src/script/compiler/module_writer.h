#pragma once
// Assembles the code generator's instruction list into the bytes of a
// compiled module: offsets, encoded instructions, the de-duplicated
// constant table, the function table, the optional line table and the
// header.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "script/compiler/instruction.h"

namespace plumex::script::compiler {

struct ModuleWriteOptions {
  // Writes the line table, naming the source in its first record.
  bool lineTable = false;
  std::string_view sourceName;
  // Gives the bits that fill the upper bytes of each directory type word
  // (only the low 15 are used). Empty: a generator seeded by the system,
  // so that two writes of one list differ there.
  std::function<std::uint32_t()> random;
};

// A list the code generator should never have made: a jump to a label that
// is not in it or lies in another function, a label defined twice, an
// operand that does not fit its instruction, code before the first
// function label.
class ModuleWriteError : public std::logic_error {
public:
  using std::logic_error::logic_error;
};

std::vector<std::uint8_t> writeModule(const InstructionList& list,
                                      const ModuleWriteOptions& options = {});

} // namespace plumex::script::compiler
