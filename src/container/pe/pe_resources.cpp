#include "container/pe/pe_resources.h"

#include "container/pe/pe_image.h"
#include "container/pe/resource_tree.h"

#include <algorithm>

namespace plumex::container {
namespace {

using pe::Headers;
using pe::Section;

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kCertificateDirectory = 4;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kInitializedDataReadable = 0x00000040 | 0x40000000;

void require(bool condition, const char* message) {
  if (!condition) throw PeError(message);
}

std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// Simple case mapping of the letters a name is likely to hold, matching the
// system's upper-case table for them.
char16_t upperCase(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F)) {
    return static_cast<char16_t>(c - 0x20);
  }
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  // Latin Extended-A: pairs of upper (first) and lower case, except the
  // dotless i (0x131), the kra (0x138) and the long s (0x17F).
  const bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (c != 0x131 && ((evenPairs && c % 2 == 1) || (oddPairs && c % 2 == 0))) return static_cast<char16_t>(c - 1);
  return c;
}

std::span<const std::uint8_t> rawData(std::span<const std::uint8_t> image, const Section& section) {
  require(section.rawEnd() <= image.size(), "section data beyond the end of the file");
  return image.subspan(section.rawPointer, section.rawSize);
}

std::vector<Resource> resourcesOf(std::span<const std::uint8_t> image, const Headers& headers) {
  const auto directory = headers.directory(image, kResourceDirectory);
  if (!directory || directory->rva == 0) return {};
  const Section* section = headers.sectionHolding(directory->rva, 0);
  require(section != nullptr, "resource directory outside every section");
  const auto bytes = rawData(image, *section).subspan(directory->rva - section->virtualAddress);
  return pe::parseResourceTree(bytes, [&](std::uint32_t rva, std::uint32_t size) {
    if (size == 0) return std::span<const std::uint8_t>{};
    const Section* holder = headers.sectionHolding(rva, size);
    require(holder != nullptr, "resource data outside the raw data of every section");
    return rawData(image, *holder).subspan(rva - holder->virtualAddress, size);
  });
}

// End of the file's raw data: what follows is an overlay.
std::uint32_t endOfSections(const Headers& headers) {
  const Section* last = headers.lastInFile();
  const std::uint64_t end = last != nullptr ? last->rawEnd() : 0;
  require(end <= 0xFFFFFFFF, "section data beyond 4 GiB");
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(end, headers.sizeOfHeaders));
}

// The end of the addresses a section claims: the loader maps VirtualSize
// bytes, while sectionHolding() looks up data by SizeOfRawData. A new
// resource section must lie beyond both, or its data would be looked up in
// the wrong section.
std::uint64_t addressEnd(const Section& s) {
  return std::max(s.virtualEnd(), std::uint64_t{s.virtualAddress} + s.rawSize);
}

// The old resource section can be rewritten in place when nothing follows
// it, in the file or in memory, and it holds only the resource tree.
const Section* replaceableSection(std::span<const std::uint8_t> image, const Headers& headers) {
  const auto directory = headers.directory(image, kResourceDirectory);
  if (!directory || directory->rva == 0) return nullptr;
  const Section* last = headers.lastInFile();
  if (last == nullptr || last->virtualAddress != directory->rva || last->rawSize == 0) return nullptr;
  for (const Section& s : headers.sections) {
    if (&s != last && (s.virtualAddress >= last->virtualAddress || addressEnd(s) > last->virtualAddress ||
                       s.rawEnd() > last->rawPointer)) {
      return nullptr;
    }
  }
  return last;
}

// Long section names ("/4") point into the COFF string table, which goes
// with the overlay; their first eight characters keep the image readable by
// tools that resolve such names.
void inlineLongSectionNames(std::span<const std::uint8_t> image, const Headers& headers, std::vector<std::uint8_t>& out) {
  const std::uint32_t symbols = pe::read32(image, headers.symbolTableField());
  if (symbols == 0) return;
  const std::uint64_t strings = symbols + std::uint64_t{18} * pe::read32(image, headers.numberOfSymbolsField());
  constexpr std::size_t kNameSize = 8;
  for (const Section& s : headers.sections) {
    const auto name = image.subspan(s.headerOffset, kNameSize);
    if (name[0] != '/') continue;
    const auto digitsEnd = std::find(name.begin() + 1, name.end(), 0);
    if (digitsEnd == name.begin() + 1 ||
        !std::all_of(name.begin() + 1, digitsEnd, [](std::uint8_t c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    std::uint64_t offset = 0;
    for (auto d = name.begin() + 1; d != digitsEnd; ++d) offset = offset * 10 + (*d - '0');
    const std::uint64_t at = strings + offset;
    if (at >= image.size()) continue;
    const auto longName = image.subspan(at, std::min<std::uint64_t>(kNameSize, image.size() - at));
    const auto longEnd = std::find(longName.begin(), longName.end(), 0);
    auto field = out.begin() + s.headerOffset;
    std::fill(field, field + kNameSize, 0);
    std::copy(longName.begin(), longEnd, field);
  }
}

// Tools that find resources by section name rather than through the data
// directory would otherwise read the old, now dead, copy.
void renameOldResourceSection(std::span<const std::uint8_t> image, const Headers& headers, std::vector<std::uint8_t>& out) {
  const auto directory = headers.directory(image, kResourceDirectory);
  if (!directory || directory->rva == 0) return;
  static constexpr std::uint8_t kResourceName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  static constexpr std::uint8_t kDeadName[8] = {'.', 'o', 'l', 'd', 'r', 's', 'r', 'c'};
  for (const Section& s : headers.sections) {
    const auto name = out.begin() + s.headerOffset;
    if (directory->rva >= s.virtualAddress && directory->rva < s.virtualEnd() &&
        std::equal(std::begin(kResourceName), std::end(kResourceName), name)) {
      std::copy(std::begin(kDeadName), std::end(kDeadName), name);
    }
  }
}

struct Placement {
  bool replacesOld;
  std::uint32_t headerOffset;
  std::uint32_t virtualAddress;
  std::uint32_t rawPointer;
  std::uint32_t oldRawSize;
};

// Rewrites the old resource section when it is last, otherwise appends a
// section after every other, in the file and in memory.
Placement placeResourceSection(std::span<const std::uint8_t> image, const Headers& headers, std::uint32_t fileEnd) {
  if (const Section* old = replaceableSection(image, headers)) {
    return {true, old->headerOffset, old->virtualAddress, old->rawPointer, old->rawSize};
  }
  const std::uint32_t headerOffset =
      headers.sectionTable + kSectionHeaderSize * static_cast<std::uint32_t>(headers.sections.size());
  std::uint64_t firstRawData = headers.sizeOfHeaders;
  // The headers are mapped at RVA 0, and RVA 0 in the directory means none.
  std::uint64_t virtualEnd = std::max(headers.sizeOfImage, std::max<std::uint32_t>(headers.sizeOfHeaders, 1));
  for (const Section& s : headers.sections) {
    if (s.rawSize != 0) firstRawData = std::min<std::uint64_t>(firstRawData, s.rawPointer);
    virtualEnd = std::max(virtualEnd, addressEnd(s));
  }
  require(headerOffset + kSectionHeaderSize <= firstRawData &&
              std::all_of(image.begin() + headerOffset, image.begin() + headerOffset + kSectionHeaderSize,
                          [](std::uint8_t b) { return b == 0; }),
          "no room for another section header");
  require(headers.sections.size() < 0xFFFF, "too many sections");
  virtualEnd = alignUp(virtualEnd, headers.sectionAlignment);
  require(virtualEnd < 0xFFFFFFFF, "image too large");
  // Readers of the archive take the first section with the largest
  // PointerToRawData as the last: an empty section there would hide ours.
  const Section* last = headers.lastInFile();
  const std::uint64_t rawStart = std::max<std::uint64_t>(fileEnd, last != nullptr ? last->rawPointer + std::uint64_t{1} : 0);
  return {false, headerOffset, static_cast<std::uint32_t>(virtualEnd),
          static_cast<std::uint32_t>(alignUp(rawStart, headers.fileAlignment)), 0};
}

}  // namespace

ResourceId ResourceId::number(std::uint16_t id) { return ResourceId(id); }

ResourceId ResourceId::name(std::u16string_view text) {
  if (text.empty() || text.size() > 0xFFFF) throw std::invalid_argument("resource name must hold 1 to 65535 units");
  std::u16string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), upperCase);
  return ResourceId(std::move(upper));
}

std::vector<Resource> readResources(std::span<const std::uint8_t> image) {
  return resourcesOf(image, pe::parseHeaders(image));
}

std::uint32_t endOfLastSection(std::span<const std::uint8_t> image) {
  const Headers headers = pe::parseHeaders(image);
  require(!headers.sections.empty(), "image has no sections");
  const std::uint64_t end = headers.lastInFile()->rawEnd();
  require(end <= 0xFFFFFFFF, "section data beyond 4 GiB");
  return static_cast<std::uint32_t>(end);
}

std::uint32_t timeStamp(std::span<const std::uint8_t> image) {
  return pe::read32(image, pe::parseHeaders(image).timeDateStampField());
}

void setTimeStamp(std::span<std::uint8_t> image, std::uint32_t secondsSince1970) {
  const Headers headers = pe::parseHeaders(image);
  pe::write32(image, headers.timeDateStampField(), secondsSince1970);
  pe::write32(image, headers.checksumField(), 0);
  pe::write32(image, headers.checksumField(), pe::checksum(image));
}

std::vector<std::uint8_t> addResources(std::span<const std::uint8_t> image, const std::vector<Resource>& added) {
  const Headers headers = pe::parseHeaders(image);
  require(headers.dataDirectoryCount > kResourceDirectory, "image has no resource data directory");
  const std::uint32_t fileEnd = endOfSections(headers);
  require(fileEnd <= image.size() && std::all_of(headers.sections.begin(), headers.sections.end(),
                                                  [&](const Section& s) { return s.rawEnd() <= image.size(); }),
          "section data beyond the end of the file");
  require(headers.sizeOfHeaders <= image.size(), "headers beyond the end of the file");
  require(headers.fileAlignment <= 0x10000, "file alignment above 64 KiB");

  pe::ResourceTree tree;
  for (Resource& r : resourcesOf(image, headers)) tree[r.type][r.name][r.language] = std::move(r.data);
  for (const Resource& r : added) tree[r.type][r.name][r.language] = r.data;

  const Placement place = placeResourceSection(image, headers, fileEnd);
  const std::uint64_t headersEnd =
      headers.sectionTable + kSectionHeaderSize * (headers.sections.size() + (place.replacesOld ? 0 : 1));
  require(headersEnd <= std::min(fileEnd, place.rawPointer), "section data overlaps the headers");

  const std::vector<std::uint8_t> section = pe::buildResourceTree(tree, place.virtualAddress);
  const std::uint64_t rawSize = alignUp(section.size(), headers.fileAlignment);
  const std::uint64_t imageSize = alignUp(std::uint64_t{place.virtualAddress} + section.size(), headers.sectionAlignment);
  require(place.rawPointer + rawSize <= 0xFFFFFFFF && imageSize <= 0xFFFFFFFF, "image too large");

  std::vector<std::uint8_t> out(image.begin(), image.begin() + std::min(fileEnd, place.rawPointer));
  out.resize(place.rawPointer + rawSize, 0);
  std::copy(section.begin(), section.end(), out.begin() + place.rawPointer);

  inlineLongSectionNames(image, headers, out);
  if (!place.replacesOld) renameOldResourceSection(image, headers, out);
  static constexpr char kName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  const std::uint32_t header = place.headerOffset;
  std::copy(std::begin(kName), std::end(kName), out.begin() + header);
  pe::write32(out, header + 8, static_cast<std::uint32_t>(section.size()));
  pe::write32(out, header + 12, place.virtualAddress);
  pe::write32(out, header + 16, static_cast<std::uint32_t>(rawSize));
  pe::write32(out, header + 20, place.rawPointer);
  std::fill(out.begin() + header + 24, out.begin() + header + 36, 0);
  pe::write32(out, header + 36, kInitializedDataReadable);

  if (!place.replacesOld) {
    pe::write16(out, headers.numberOfSectionsField(), static_cast<std::uint16_t>(headers.sections.size() + 1));
  }
  pe::write32(out, headers.symbolTableField(), 0);
  pe::write32(out, headers.numberOfSymbolsField(), 0);
  // Wraps like the field itself when the old value undercounted.
  pe::write32(out, headers.sizeOfInitializedDataField(),
              pe::read32(out, headers.sizeOfInitializedDataField()) + static_cast<std::uint32_t>(rawSize) - place.oldRawSize);
  pe::write32(out, headers.sizeOfImageField(), static_cast<std::uint32_t>(imageSize));
  pe::write32(out, headers.directoryField(kResourceDirectory), place.virtualAddress);
  pe::write32(out, headers.directoryField(kResourceDirectory) + 4, static_cast<std::uint32_t>(section.size()));
  if (headers.dataDirectoryCount > kCertificateDirectory) {
    // A signature lives in the overlay, which is gone, and would no longer match.
    pe::write32(out, headers.directoryField(kCertificateDirectory), 0);
    pe::write32(out, headers.directoryField(kCertificateDirectory) + 4, 0);
  }
  pe::write32(out, headers.checksumField(), 0);
  pe::write32(out, headers.checksumField(), pe::checksum(out));
  return out;
}

}  // namespace plumex::container
