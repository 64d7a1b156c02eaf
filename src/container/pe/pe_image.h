#pragma once

// The headers of a PE image, parsed with bounds checks: where the fields we
// read or rewrite live, and the section table.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plumex::container::pe {

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset);
void write16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void write32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

struct Section {
  std::uint32_t headerOffset;  // file offset of the 40-byte section header
  std::uint32_t virtualSize;
  std::uint32_t virtualAddress;
  std::uint32_t rawSize;
  std::uint32_t rawPointer;

  std::uint64_t rawEnd() const { return std::uint64_t{rawPointer} + rawSize; }
  // The loader maps VirtualSize bytes, or SizeOfRawData when that is zero.
  std::uint64_t virtualEnd() const {
    return std::uint64_t{virtualAddress} + (virtualSize != 0 ? virtualSize : rawSize);
  }
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct Headers {
  std::uint32_t fileHeader;      // file offsets of the fields we touch
  std::uint32_t optionalHeader;
  std::uint32_t dataDirectories;
  std::uint32_t dataDirectoryCount;
  std::uint32_t sectionTable;
  std::uint32_t sectionAlignment;
  std::uint32_t fileAlignment;
  std::uint32_t sizeOfImage;
  std::uint32_t sizeOfHeaders;
  std::vector<Section> sections;

  std::optional<DataDirectory> directory(std::span<const std::uint8_t> image, std::uint32_t index) const;
  // The section holding rva .. rva+size within its raw data.
  const Section* sectionHolding(std::uint32_t rva, std::uint32_t size) const;
  // The section with the largest PointerToRawData (the first of equal ones).
  const Section* lastInFile() const;

  // Offsets of header fields, relative to the image start.
  std::uint32_t numberOfSectionsField() const { return fileHeader + 2; }
  std::uint32_t timeDateStampField() const { return fileHeader + 4; }
  std::uint32_t symbolTableField() const { return fileHeader + 8; }
  std::uint32_t numberOfSymbolsField() const { return fileHeader + 12; }
  std::uint32_t sizeOfInitializedDataField() const { return optionalHeader + 8; }
  std::uint32_t sizeOfImageField() const { return optionalHeader + 56; }
  std::uint32_t checksumField() const { return optionalHeader + 64; }
  std::uint32_t directoryField(std::uint32_t index) const { return dataDirectories + 8 * index; }
};

// Throws PeError when the image is not a well-formed PE32 or PE32+ image.
Headers parseHeaders(std::span<const std::uint8_t> image);

// The PE checksum of an image whose checksum field holds zero.
std::uint32_t checksum(std::span<const std::uint8_t> image);

}  // namespace plumex::container::pe
