#include "container/pe/pe_image.h"

#include "container/pe/pe_resources.h"

#include <algorithm>

namespace plumex::container::pe {
namespace {

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kFileHeaderSize = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;

void require(bool condition, const char* message) {
  if (!condition) throw PeError(message);
}

bool fits(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

bool isPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  require(fits(bytes, offset, 2), "read beyond the end of the data");
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  require(fits(bytes, offset, 4), "read beyond the end of the data");
  return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
         std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

void write16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void write32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Headers parseHeaders(std::span<const std::uint8_t> image) {
  require(image.size() >= 64 && image[0] == 'M' && image[1] == 'Z', "not a PE image: no MZ signature");
  const std::uint32_t peOffset = read32(image, 0x3C);
  require(fits(image, peOffset, 4), "not a PE image: e_lfanew points beyond the file");
  require(image[peOffset] == 'P' && image[peOffset + 1] == 'E' && image[peOffset + 2] == 0 &&
              image[peOffset + 3] == 0,
          "not a PE image: no PE signature");

  Headers h{};
  h.fileHeader = peOffset + 4;
  require(fits(image, h.fileHeader, kFileHeaderSize), "truncated file header");
  const std::uint16_t sectionCount = read16(image, h.fileHeader + 2);
  const std::uint16_t optionalSize = read16(image, h.fileHeader + 16);

  h.optionalHeader = h.fileHeader + kFileHeaderSize;
  require(fits(image, h.optionalHeader, optionalSize), "truncated optional header");
  const auto optional = image.subspan(h.optionalHeader, optionalSize);
  require(optional.size() >= 2, "optional header too small");
  const std::uint16_t magic = read16(optional, 0);
  require(magic == kPe32Magic || magic == kPe32PlusMagic, "unsupported optional header magic");
  const std::uint32_t countField = magic == kPe32Magic ? 92 : 108;
  require(optional.size() >= countField + 4, "optional header too small");

  h.sectionAlignment = read32(optional, 32);
  h.fileAlignment = read32(optional, 36);
  h.sizeOfImage = read32(optional, 56);
  h.sizeOfHeaders = read32(optional, 60);
  require(isPowerOfTwo(h.sectionAlignment) && isPowerOfTwo(h.fileAlignment),
          "section or file alignment is not a power of two");
  h.dataDirectories = h.optionalHeader + countField + 4;
  h.dataDirectoryCount = std::min<std::uint32_t>(read32(optional, countField),
                                                  (optionalSize - countField - 4) / 8);

  h.sectionTable = h.optionalHeader + optionalSize;
  require(fits(image, h.sectionTable, std::uint64_t{sectionCount} * kSectionHeaderSize),
          "truncated section table");
  h.sections.reserve(sectionCount);
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint32_t at = h.sectionTable + i * kSectionHeaderSize;
    h.sections.push_back(Section{at, read32(image, at + 8), read32(image, at + 12),
                                 read32(image, at + 16), read32(image, at + 20)});
  }
  return h;
}

std::optional<DataDirectory> Headers::directory(std::span<const std::uint8_t> image,
                                                std::uint32_t index) const {
  if (index >= dataDirectoryCount) return std::nullopt;
  return DataDirectory{read32(image, directoryField(index)), read32(image, directoryField(index) + 4)};
}

const Section* Headers::sectionHolding(std::uint32_t rva, std::uint32_t size) const {
  for (const Section& s : sections) {
    if (rva >= s.virtualAddress && std::uint64_t{rva} + size <= std::uint64_t{s.virtualAddress} + s.rawSize &&
        (size != 0 || rva < std::uint64_t{s.virtualAddress} + s.rawSize)) {
      return &s;
    }
  }
  return nullptr;
}

const Section* Headers::lastInFile() const {
  const Section* last = nullptr;
  for (const Section& s : sections) {
    if (last == nullptr || s.rawPointer > last->rawPointer) last = &s;
  }
  return last;
}

std::uint32_t checksum(std::span<const std::uint8_t> image) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < image.size(); i += 2) {
    const std::uint32_t word = image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + image.size());
}

}  // namespace plumex::container::pe
