#pragma once
// How a DLL function's parameters and result are declared: the type names
// scripts write, what each becomes on the native side, and the call types.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plumex::hostlib::dll {

enum class ParamKind : std::int32_t {
  Void = 0,
  Char = 1,
  UnsignedChar = 2,
  Short = 3,  // also UTF-16 text
  UnsignedShort = 4,
  Int = 5,  // also Boolean
  UnsignedInt = 6,
  Int64 = 7,
  Float = 8,
  Double = 9,
  Pointer = 10,
  Structure = 11,
};

struct ParamDescriptor {
  // A pointer to a temporary copy is passed instead of the value.
  bool byReference = false;
  ParamKind kind = ParamKind::Void;
  // Bytes of the value (4 for a by-reference parameter of a built-in type).
  std::uint32_t size = 0;
  // A structure's name, when it has one.
  std::u16string structName;
  // As declared, for the failure explanations.
  std::string typeName;
};

// A DllParam's size: a structure this large is refused (it would be copied
// onto the native stack or into a block of its size).
inline constexpr std::uint32_t kMaxParamSize = 16u * 1024 * 1024;
// The argument words a call may push, hidden result pointer included.
inline constexpr std::uint32_t kMaxArgumentBytes = 64u * 1024;

// A built-in type name (case-insensitive); nothing for any other name,
// which scripts use for structures.
std::optional<ParamDescriptor> builtinParamType(std::string_view name);

// The bytes a parameter takes among the argument words: 4 by reference,
// else its size rounded up to whole words.
std::uint32_t argumentBytes(const ParamDescriptor& p);

// Call flags.
enum CallFlags : std::uint32_t {
  kCdecl = 4,
  kFloatResult = 8,
  kDoubleResult = 16,
  kStdcall = 32,  // also "pascal"
  kFastcall = 64,  // called as stdcall: nothing goes in registers
};

// The flags of a call type text (case-insensitive; 0 when unrecognised)
// and a result type.
std::uint32_t callFlags(std::string_view callType, const ParamDescriptor& result);

} // namespace plumex::hostlib::dll
