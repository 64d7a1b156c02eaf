#pragma once
// The loaded form of one compiled function, as the virtual machine runs
// it: 4-byte slots, each opcode in one and each operand in the next.

#include <cstdint>
#include <string>
#include <vector>

#include "script/values/cell.h"

namespace plumex::script::vm {

// Operand slots: a name holds its atom; a constant its index in the
// engine's constant pool; a jump the signed slot count from the slot after
// the operand to the target; byte and short operands their value
// sign-extended to 32 bits; int operands their value.
struct LinePair {
  std::uint32_t slot;  // of the instruction after the one on this line
  std::int32_t line;
};

class CodeRecord final : public Cell {
public:
  std::string name;
  // The function's code with one END appended.
  std::vector<std::int32_t> code;
  std::string sourceName = "unknown";
  // Ascending slots; the line of a code position is that of the last pair
  // at or before it.
  std::vector<LinePair> lines;
  // Values the function may hold above its frame header, including the
  // slots its ADJUSTARGS may insert: the virtual machine makes room for
  // them at entry, and the verifier has checked that no path needs more.
  std::uint32_t maxStack = 0;

  std::size_t byteSize() const override {
    return sizeof(*this) + name.capacity() + sourceName.capacity() +
           code.capacity() * sizeof(std::int32_t) + lines.capacity() * sizeof(LinePair);
  }
};

} // namespace plumex::script::vm
