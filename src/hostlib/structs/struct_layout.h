#pragma once
// The layout of a C structure as scripts describe it: an element tree whose
// root holds one element per member, named after the member, with the
// attributes "type" (a type text such as "unsigned short*", "double",
// "struct" or the name of a global holding another description) and,
// for arrays, "count". Offsets follow the alignment setting of the moment
// the layout is read.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/values/engine.h"

namespace plumex::hostlib::structs {

// Member type codes. A pointer is kPointer or-ed with the code of what it
// points at; kPointer alone is "pointer" and every pointer to a pointer.
enum TypeCode : std::uint32_t {
  kBoolean = 1,
  kChar = 2,
  kUnsignedChar = 4,
  kShort = 8,
  kUnsignedShort = 16,
  kInt = 32,
  kUnsignedInt = 64,
  kInt64 = 128,
  kUnsignedInt64 = 256,
  kFloat = 512,
  kDouble = 1024,
  kStructure = 2048,
  kPointer = 1u << 28,
};

// Larger layouts are refused: a description names its own sizes, and a
// script must not make the runtime allocate whatever it writes there.
inline constexpr std::uint32_t kMaxStructSize = 16u * 1024 * 1024;
// Structures inside structures, counted from the outermost (0).
inline constexpr int kMaxNesting = 32;
inline constexpr std::int32_t kDefaultAlignment = 8;
// Pointers are those of the 32-bit target, whatever builds the layout.
inline constexpr std::uint32_t kPointerSize = 4;

struct StructLayout;

struct StructMember {
  std::u16string name;
  script::Atom atom = 0;
  std::uint32_t code = 0;
  // From the start of the structure that declares the member.
  std::uint32_t offset = 0;
  // One element: kPointerSize for pointers, the nested size for structures.
  std::uint32_t elementSize = 0;
  // Every element: elementSize times count when count is above 1.
  std::uint32_t size = 0;
  // The "count" attribute; -1 when absent.
  std::int32_t count = -1;
  // A structure member's own layout (offsets from its own start), shared
  // by its elements and by every member of the same named type; null for
  // other members, pointers to structures among them.
  std::shared_ptr<const StructLayout> nested;

  bool isPointer() const { return (code & kPointer) != 0; }
  // The pointed-to code (0 for "pointer"), or the member's own.
  std::uint32_t targetCode() const { return code & ~static_cast<std::uint32_t>(kPointer); }
  bool isStructure() const { return code == kStructure; }
  // Read by its name, an array member gives a StructArray view.
  bool isArray() const { return count > 0; }
  std::uint32_t elements() const { return count > 1 ? static_cast<std::uint32_t>(count) : 1; }
};

struct StructLayout {
  std::uint32_t size = 0;
  // The largest alignment of a member (0 for a structure without members).
  std::uint32_t alignment = 0;
  std::vector<StructMember> members;

  // The first member of that name.
  const StructMember* find(script::Atom atom) const;
  // The pointer member element at `offset` from the start, in this layout
  // or one nested in it: its code; 0 when no pointer element starts there.
  std::uint32_t pointerCodeAt(std::uint32_t offset) const;
};

// Whether scripts may set the alignment to this: 1, 2, 4 or a positive
// multiple of 8.
bool isValidAlignment(std::int64_t alignment);

// The layout a description gives with that alignment; null when the
// description is invalid: unreadable, an unknown or malformed type, a
// structure type whose global holds no valid description, a cycle through
// such globals, nesting deeper than kMaxNesting, or a total size above
// kMaxStructSize. Member names become the engine's atoms.
std::shared_ptr<const StructLayout> readLayout(script::Engine& engine, std::u16string_view description,
                                               std::int32_t alignment);

} // namespace plumex::hostlib::structs
