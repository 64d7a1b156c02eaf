#include "script/compiler/module_image.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "platform/files.h"

namespace plumex::script::compiler {

std::optional<ModuleImage> ModuleImage::read(std::span<const std::uint8_t> block) {
  if (!block.empty() && block[0] == '#') {
    const auto newline = std::find(block.begin(), block.end(), std::uint8_t{'\n'});
    if (newline == block.end()) return std::nullopt;
    block = block.subspan(static_cast<std::size_t>(newline - block.begin()) + 1);
  }
  if (block.size() < 8 || !std::equal(kModuleMagic.begin(), kModuleMagic.end(), block.begin()))
    return std::nullopt;

  try {
    ModuleImage image;
    // Entries until the terminator word; each must lie whole in the block,
    // which bounds the walk.
    for (std::size_t at = kModuleMagic.size();; at += kDirectoryEntrySize) {
      if (block.size() - at < 4) return std::nullopt;
      const std::uint32_t typeWord = readLittleEndian32(&block[at]);
      if (typeWord == kDirectoryEnd) break;
      if (block.size() - at < kDirectoryEntrySize) return std::nullopt;
      ModuleSection s;
      s.typeWord = typeWord;
      s.offset = readLittleEndian32(&block[at + 4]);
      s.size = readLittleEndian32(&block[at + 8]);
      if (s.offset > block.size() || s.size > block.size() - s.offset) return std::nullopt;
      const std::uint8_t type = s.type();
      if (type < kSectionTypes && image.byType_[type] < 0) {
        image.byType_[type] = static_cast<int>(image.sections_.size());
        s.bytes.assign(block.begin() + s.offset, block.begin() + s.offset + s.size);
        s.bytes.push_back(0);
      }
      image.sections_.push_back(std::move(s));
    }
    return image;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<ModuleImage> ModuleImage::readFile(const std::string& path) {
  InputFile file;
  if (!file.open(path)) return std::nullopt;
  try {
    const std::uint64_t size = file.size();
    if (size > SIZE_MAX) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!file.readExactly(bytes.data(), bytes.size())) return std::nullopt;
    return read(bytes);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

std::span<const std::uint8_t> ModuleImage::section(SectionType type) const {
  const int i = byType_[static_cast<int>(type)];
  if (i < 0) return {};
  const auto& bytes = sections_[static_cast<std::size_t>(i)].bytes;
  return std::span(bytes.data(), bytes.size() - 1);
}

} // namespace plumex::script::compiler
