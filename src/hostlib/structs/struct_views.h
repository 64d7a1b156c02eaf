#pragma once
// What the two classes share: a Struct is a layout over a block of memory
// from some offset on; a StructArray the elements of one member of one.
// Reading a structure or array member makes a view sharing the memory.

#include <cstdint>
#include <memory>
#include <span>

#include "hostlib/structs/struct_block.h"
#include "hostlib/structs/struct_classes.h"
#include "hostlib/structs/struct_layout.h"
#include "script/values/engine.h"

namespace plumex::hostlib::structs {

// The instance data of a Struct.
struct StructView {
  std::shared_ptr<StructBlock> block;
  std::shared_ptr<const StructLayout> layout;
  // Where the structure starts in the block: 0 for the outermost.
  std::uint32_t base = 0;

  std::span<std::uint8_t> bytes() const { return block->bytes().subspan(base, layout->size); }
  void mark(script::Tracer& t) const { block->mark(t); }
};

// The instance data of a StructArray.
struct ArrayView {
  std::shared_ptr<StructBlock> block;
  // Keeps the layout that declares the member.
  std::shared_ptr<const StructMember> member;
  // Where element 0 starts in the block.
  std::uint32_t base = 0;

  void mark(script::Tracer& t) const { block->mark(t); }
};

// The classes of an engine as registered, for native code: views are made
// of them and arguments told by them even after a script replaced the
// globals of their names.
struct StructClasses {
  script::Value structClass;
  script::Value arrayClass;
  StructSettings* settings = nullptr;

  void mark(script::Tracer& t) const {
    t.mark(structClass);
    t.mark(arrayClass);
  }
};

// Null in an engine without the classes.
StructClasses* structClasses(script::Engine& engine);

// Steps of registerStructClasses.
script::ClassRecord& registerStructArrayClass(script::Engine& engine);
void keepStructClasses(script::Engine& engine, std::unique_ptr<StructClasses> classes);

// The view of a live Struct; null for anything else, a Struct of a class
// record told by its hooks.
const StructView* structViewOf(const script::Value& v);

// A new Struct over new memory: `bytes` (layout->size of them); Null in an
// engine without the classes.
script::Value makeStructOver(script::Engine& engine, std::shared_ptr<const StructLayout> layout,
                             std::vector<std::uint8_t> bytes);

// A member read by its name: a StructArray for an array member, else
// element 0.
script::Value readMember(script::Engine& engine, const StructView& view, const StructMember& member);
// A member written by its name: element 0, array or not.
void writeMember(script::Engine& engine, const StructView& view, const StructMember& member,
                 const script::Value& v);
// Element i of an array view: Undefined and nothing stored out of range.
script::Value readElement(script::Engine& engine, const ArrayView& view, std::int64_t i);
void writeElement(script::Engine& engine, const ArrayView& view, std::int64_t i, const script::Value& v);

} // namespace plumex::hostlib::structs
