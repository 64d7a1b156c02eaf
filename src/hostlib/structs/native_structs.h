#pragma once
// Structures as native code uses them (the DLL calls above all): a
// Struct's layout and memory, Structs made from bytes, layouts named by
// globals, and the native copy of a Struct handed to a function.

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <tuple>
#include <vector>

#include "hostlib/structs/struct_layout.h"
#include "script/values/engine.h"

namespace plumex::hostlib::structs {

class StructBlock;
struct StructView;

// The alignment layouts are built with now.
std::int32_t structAlignment(script::Engine& engine);

// The layout described by the global of that name, built with the current
// alignment; null when the global holds no valid description.
std::shared_ptr<const StructLayout> namedLayout(script::Engine& engine, std::u16string_view name);

// The layout and the memory (layout->size bytes) of a live Struct; null
// and empty for anything else. A Struct is told by its class record, not
// by the global "Struct". The memory is the Struct's own, shared with the
// views of its members; it stays valid while the value is reachable.
std::shared_ptr<const StructLayout> layoutOf(const script::Value& v);
std::span<std::uint8_t> structMemory(const script::Value& v);

// A new Struct of the layout holding a copy of `bytes`, its pointer
// members unset; Null unless there are exactly layout.size bytes (or in an
// engine without the class).
script::Value makeStruct(script::Engine& engine, std::shared_ptr<const StructLayout> layout,
                         std::span<const std::uint8_t> bytes);

// The native memory a call hands to a function, made when the call is
// prepared and released with this object once it returns; nothing is
// written back into the Structs.
//
// A Struct is copied once per materialiser: met again (a cycle, a second
// member or argument holding it, another view with the same memory, start
// and layout) it gives the address of that copy. The view of a nested
// member is a structure of its own, copied apart from its outer one.
// Copies are made by a worklist, so a long chain of structures never
// recurses natively.
//
// Pointer members of a copy hold the address of what their values became:
// a cell of the target's size for a Boolean or Integer ("Boolean*" a
// 4-byte 0 or 1; for "pointer" an Integer is the address itself, a
// Boolean a 4-byte cell), a NUL-terminated text for a String (UTF-16 for
// 16-bit targets, else ANSI), a float or double cell for a Float (double
// for "pointer"), a copy of a StringStream's content, the copy of a
// Struct; 0 for unset members and other values.
//
// Addresses are 32 bits, the target's. Where native pointers are wider
// (native builds, which make no calls) blocks get stand-in addresses;
// resolve() maps every address given back to its bytes either way.
class Materialiser {
public:
  Materialiser();
  ~Materialiser();
  Materialiser(const Materialiser&) = delete;
  Materialiser& operator=(const Materialiser&) = delete;

  // The address of the copy of a live Struct (its layout's size of bytes);
  // 0 for anything else.
  std::uint32_t copyOf(const script::Value& structValue);
  // A new block holding `bytes` (at least one byte, zero-filled), for
  // other temporaries of the call.
  std::uint32_t copyBytes(std::span<const std::uint8_t> bytes);
  // The bytes from an address this materialiser gave (or one inside its
  // blocks) to the end of that block; empty for any other address.
  std::span<std::uint8_t> resolve(std::uint32_t address);

private:
  struct Block {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
  };
  struct Pending;
  using Key = std::tuple<const StructBlock*, std::uint32_t, const StructLayout*>;

  std::uint32_t place(std::size_t size, std::span<const std::uint8_t> initial);
  void fillPointers(const Pending& pending);
  std::uint32_t pointee(std::uint32_t code, const script::Value& v);

  std::uint32_t enqueue(const StructView& view);

  // By address.
  std::map<std::uint32_t, Block> blocks_;
  std::uint64_t nextStandIn_;
  // The copy of each structure met, by its memory, start and layout; the
  // memory is held so that no other structure takes its address meanwhile.
  std::map<Key, std::uint32_t> copies_;
  std::vector<std::shared_ptr<const StructBlock>> held_;
  // Copies whose pointer members are still to be filled.
  std::vector<Pending> pending_;
};

} // namespace plumex::hostlib::structs
