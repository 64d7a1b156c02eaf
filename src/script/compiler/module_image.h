#pragma once
// A compiled module read into memory: its section directory, a private
// copy of each section the engine reads, and whether its constants are in
// an engine's constant pool yet.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "script/compiler/module_format.h"

namespace plumex::script::compiler {

struct ModuleSection {
  std::uint32_t typeWord = 0;  // as written; the type is the low byte
  std::uint32_t offset = 0;    // from the magic
  std::uint32_t size = 0;
  // The section's bytes and one 0 byte after them, for the first section
  // of each type the engine reads (code, constants, functions, lines).
  // Empty for later ones and other types: nothing reads them, and copying
  // every entry would let a small crafted directory that names the same
  // bytes many times take memory without bound.
  std::vector<std::uint8_t> bytes;

  std::uint8_t type() const { return static_cast<std::uint8_t>(typeWord); }
};

class ModuleImage {
public:
  // Nothing when the block does not begin (after an optional first line
  // starting with '#', skipped through its newline) with the magic, when
  // fewer than 8 bytes follow that line, when the directory has no
  // terminator within the block, or when a section lies outside the block.
  static std::optional<ModuleImage> read(std::span<const std::uint8_t> block);
  static std::optional<ModuleImage> read(const void* data, std::size_t size) {
    return read(std::span(static_cast<const std::uint8_t*>(data), size));
  }
  // The same for a whole file; nothing also when it cannot be read.
  static std::optional<ModuleImage> readFile(const std::string& path);

  // Every directory entry before the terminator, in order.
  const std::vector<ModuleSection>& sections() const { return sections_; }
  // The bytes of the first section of this type (without the extra 0);
  // empty when the module has none.
  std::span<const std::uint8_t> section(SectionType type) const;

  // Set by the loader once the constants are in an engine's pool: which
  // engine, and the pool index of constant 0.
  struct LoadedConstants {
    const void* engine = nullptr;
    std::size_t base = 0;
    std::size_t count = 0;
  };
  std::optional<LoadedConstants> loadedConstants;

private:
  std::vector<ModuleSection> sections_;
  // Index in sections_ of the copied section of each type, or -1.
  int byType_[kSectionTypes] = {-1, -1, -1, -1};
};

} // namespace plumex::script::compiler
