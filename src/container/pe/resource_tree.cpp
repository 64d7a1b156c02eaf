#include "container/pe/resource_tree.h"

#include "container/pe/pe_image.h"

#include <algorithm>
#include <set>

namespace plumex::container::pe {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000;  // named entry / subdirectory
constexpr std::uint32_t kDirectorySize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kDataEntrySize = 16;
constexpr std::uint32_t kDataAlignment = 8;
// Data entries may share bytes, so a hostile tree could ask for far more
// copies than the file holds; no real resource section comes near this.
constexpr std::uint64_t kMaxTotalData = std::uint64_t{1} << 30;

void require(bool condition, const char* message) {
  if (!condition) throw PeError(message);
}

std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

struct Entry {
  std::uint32_t id;      // a number, or kHighBit | offset of the name
  std::uint32_t target;  // kHighBit | offset of a directory, or offset of a data entry
};

class TreeParser {
 public:
  TreeParser(std::span<const std::uint8_t> directory, const DataLocator& dataAt)
      : dir_(directory), dataAt_(dataAt), entriesLeft_(directory.size() / kEntrySize) {}

  // Three fixed levels, so a tree pointing back at itself cannot recurse;
  // the entry budget (each real entry has its own 8 bytes) bounds the work
  // when directories are shared or overlap.
  std::vector<Resource> parse() {
    std::vector<Resource> out;
    for (const Entry& type : entries(0)) {
      const ResourceId typeId = idOf(type.id);
      for (const Entry& name : entries(subdirectory(type))) {
        const ResourceId nameId = idOf(name.id);
        for (const Entry& language : entries(subdirectory(name))) {
          require((language.id & kHighBit) == 0 && language.id <= 0xFFFF, "resource language is not a 16-bit number");
          require((language.target & kHighBit) == 0, "resource tree deeper than type, name and language");
          out.push_back(Resource{typeId, nameId, static_cast<std::uint16_t>(language.id), data(language.target)});
        }
      }
    }
    return out;
  }

 private:
  bool fits(std::uint64_t offset, std::uint64_t size) const {
    return offset <= dir_.size() && size <= dir_.size() - offset;
  }

  std::vector<Entry> entries(std::uint32_t offset) {
    require(fits(offset, kDirectorySize), "resource directory beyond its section");
    const std::uint32_t count = std::uint32_t{read16(dir_, offset + 12)} + read16(dir_, offset + 14);
    require(count <= entriesLeft_, "resource tree has more entries than its section holds");
    entriesLeft_ -= count;
    require(fits(offset + kDirectorySize, std::uint64_t{count} * kEntrySize), "resource directory beyond its section");
    std::vector<Entry> result(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t at = offset + kDirectorySize + i * kEntrySize;
      result[i] = Entry{read32(dir_, at), read32(dir_, at + 4)};
    }
    return result;
  }

  static std::uint32_t subdirectory(const Entry& entry) {
    require((entry.target & kHighBit) != 0, "resource data entry where a directory belongs");
    return entry.target & ~kHighBit;
  }

  ResourceId idOf(std::uint32_t raw) const {
    if ((raw & kHighBit) == 0) {
      require(raw <= 0xFFFF, "resource ID is not a 16-bit number");
      return ResourceId::number(static_cast<std::uint16_t>(raw));
    }
    const std::uint32_t offset = raw & ~kHighBit;
    require(fits(offset, 2), "resource name beyond its section");
    const std::uint16_t length = read16(dir_, offset);
    require(length > 0, "empty resource name");
    require(fits(offset + 2, std::uint64_t{length} * 2), "resource name beyond its section");
    std::u16string text(length, u'\0');
    for (std::uint16_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(read16(dir_, offset + 2 + 2 * i));
    return ResourceId::name(text);
  }

  std::vector<std::uint8_t> data(std::uint32_t offset) {
    require(fits(offset, kDataEntrySize), "resource data entry beyond its section");
    const std::uint32_t rva = read32(dir_, offset);
    const std::uint32_t size = read32(dir_, offset + 4);
    require(size <= dataLeft_, "resource data larger than any real resource section");
    dataLeft_ -= size;
    const std::span<const std::uint8_t> bytes = dataAt_(rva, size);
    return {bytes.begin(), bytes.end()};
  }

  std::span<const std::uint8_t> dir_;
  const DataLocator& dataAt_;
  std::size_t entriesLeft_;
  std::uint64_t dataLeft_ = kMaxTotalData;
};

class TreeWriter {
 public:
  TreeWriter(const ResourceTree& tree, std::uint32_t rva) : tree_(tree), rva_(rva) {}

  std::vector<std::uint8_t> write() {
    layOut();
    out_.assign(total_, 0);
    for (const auto& [name, offset] : nameOffsets_) {
      write16(out_, offset, static_cast<std::uint16_t>(name.size()));
      for (std::size_t i = 0; i < name.size(); ++i) write16(out_, offset + 2 + 2 * i, name[i]);
    }

    // Breadth first, as the system's tools do: all directories, then the
    // data entries, the names and the data.
    std::uint32_t nextDirectory = kDirectorySize + kEntrySize * static_cast<std::uint32_t>(tree_.size());
    std::vector<std::pair<std::uint32_t, const ResourceTree::mapped_type*>> typeDirectories;
    writeDirectory(0, tree_, [&](const auto& type) {
      typeDirectories.emplace_back(nextDirectory, &type.second);
      nextDirectory += kDirectorySize + kEntrySize * static_cast<std::uint32_t>(type.second.size());
      return std::pair{idField(type.first), kHighBit | typeDirectories.back().first};
    });
    std::vector<std::pair<std::uint32_t, const ResourceTree::mapped_type::mapped_type*>> nameDirectories;
    for (const auto& [offset, names] : typeDirectories) {
      writeDirectory(offset, *names, [&](const auto& name) {
        nameDirectories.emplace_back(nextDirectory, &name.second);
        nextDirectory += kDirectorySize + kEntrySize * static_cast<std::uint32_t>(name.second.size());
        return std::pair{idField(name.first), kHighBit | nameDirectories.back().first};
      });
    }
    std::uint32_t nextDataEntry = nextDirectory;
    std::uint32_t nextData = dataStart_;
    for (const auto& [offset, languages] : nameDirectories) {
      writeDirectory(offset, *languages, [&](const auto& language) {
        const std::vector<std::uint8_t>& bytes = language.second;
        std::copy(bytes.begin(), bytes.end(), out_.begin() + nextData);
        write32(out_, nextDataEntry, rva_ + nextData);
        write32(out_, nextDataEntry + 4, static_cast<std::uint32_t>(bytes.size()));
        nextData += static_cast<std::uint32_t>(alignUp(bytes.size(), kDataAlignment));
        nextDataEntry += kDataEntrySize;
        return std::pair{std::uint32_t{language.first}, nextDataEntry - kDataEntrySize};
      });
    }
    return std::move(out_);
  }

 private:
  // Sizes every part first so that offsets are known before writing.
  void layOut() {
    std::uint64_t directories = kDirectorySize + kEntrySize * tree_.size();
    std::uint64_t leaves = 0;
    std::uint64_t data = 0;
    std::set<std::u16string> names;
    for (const auto& [type, typeNames] : tree_) {
      if (!type.isNumber()) names.insert(type.text());
      directories += kDirectorySize + kEntrySize * typeNames.size();
      for (const auto& [name, languages] : typeNames) {
        if (!name.isNumber()) names.insert(name.text());
        directories += kDirectorySize + kEntrySize * languages.size();
        leaves += languages.size();
        for (const auto& language : languages) data += alignUp(language.second.size(), kDataAlignment);
      }
    }
    std::uint64_t cursor = directories + kDataEntrySize * leaves;
    for (const std::u16string& name : names) {
      nameOffsets_[name] = static_cast<std::uint32_t>(cursor);
      cursor += 2 + 2 * name.size();
    }
    cursor = alignUp(cursor, kDataAlignment);
    require(cursor + data < kHighBit && rva_ + cursor + data <= 0xFFFFFFFF, "resources too large for one section");
    dataStart_ = static_cast<std::uint32_t>(cursor);
    total_ = static_cast<std::uint32_t>(cursor + data);
  }

  std::uint32_t idField(const ResourceId& id) const {
    return id.isNumber() ? id.id() : kHighBit | nameOffsets_.at(id.text());
  }

  // Writes a directory header and its entries; entryFor gives (id field, target field).
  template <typename Map, typename EntryFor>
  void writeDirectory(std::uint32_t offset, const Map& map, EntryFor entryFor) {
    require(map.size() <= 0xFFFF, "too many entries in one resource directory");
    std::uint16_t named = 0;
    if constexpr (std::is_same_v<typename Map::key_type, ResourceId>) {
      named = static_cast<std::uint16_t>(std::count_if(map.begin(), map.end(), [](const auto& e) { return !e.first.isNumber(); }));
    }
    write16(out_, offset + 12, named);
    write16(out_, offset + 14, static_cast<std::uint16_t>(map.size() - named));
    std::uint32_t at = offset + kDirectorySize;
    for (const auto& element : map) {
      const auto [id, target] = entryFor(element);
      write32(out_, at, id);
      write32(out_, at + 4, target);
      at += kEntrySize;
    }
  }

  const ResourceTree& tree_;
  std::uint32_t rva_;
  std::map<std::u16string, std::uint32_t> nameOffsets_;
  std::uint32_t dataStart_ = 0;
  std::uint32_t total_ = 0;
  std::vector<std::uint8_t> out_;
};

}  // namespace

std::vector<Resource> parseResourceTree(std::span<const std::uint8_t> directory, const DataLocator& dataAt) {
  return TreeParser(directory, dataAt).parse();
}

std::vector<std::uint8_t> buildResourceTree(const ResourceTree& tree, std::uint32_t rva) {
  return TreeWriter(tree, rva).write();
}

}  // namespace plumex::container::pe
