#include "script/compiler/module_format.h"

namespace plumex::script::compiler {

std::optional<DecodedInstruction> decodeInstruction(std::span<const std::uint8_t> code,
                                                    std::size_t offset) {
  if (offset >= code.size()) return std::nullopt;
  const OpInfo* info = opInfo(code[offset]);
  if (!info) return std::nullopt;
  DecodedInstruction d{static_cast<Op>(code[offset]), info->operand};
  const std::size_t operandBytes = static_cast<std::size_t>(operandSize(info->operand));
  if (code.size() - offset - 1 < operandBytes) return std::nullopt;
  const std::uint8_t* p = code.data() + offset + 1;
  switch (info->operand) {
  case OperandClass::None: break;
  case OperandClass::Byte: d.operand = static_cast<std::int8_t>(p[0]); break;
  case OperandClass::Short:
    d.operand = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] << 8 | p[1]));
    break;
  case OperandClass::Name:
  case OperandClass::Const: d.operand = readBigEndian32(p); break;
  case OperandClass::Jump:
  case OperandClass::Int: d.operand = static_cast<std::int32_t>(readBigEndian32(p)); break;
  }
  d.size = 1 + operandBytes;
  return d;
}

} // namespace plumex::script::compiler
