#pragma once
// Fabricated PE images for tests that need an executable without building
// one: a DOS header, PE headers with 16 data directories, the section table,
// each section's raw data, and optionally an overlay announced as a COFF
// symbol table.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::testing {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
// Where the fabricated images keep their headers.
constexpr std::uint32_t kFileHeader = 0x44;
constexpr std::uint32_t kOptionalHeader = 0x58;

std::uint32_t get32(const Bytes& b, std::size_t at);
std::uint16_t get16(const Bytes& b, std::size_t at);
void put32(Bytes& b, std::size_t at, std::uint32_t v);
void put16(Bytes& b, std::size_t at, std::uint16_t v);
std::uint32_t alignUp(std::uint32_t v, std::uint32_t a);
Bytes bytesOf(std::string_view text);

struct SectionSpec {
  std::string name;
  std::uint32_t virtualAddress;
  Bytes raw;  // VirtualSize is its size; the file holds it padded to the file alignment
};

struct ImageSpec {
  std::vector<SectionSpec> sections;
  std::optional<std::size_t> resourceSection;  // the resource directory starts this section
  Bytes overlay;                               // announced as a COFF symbol table
  bool pe32plus = false;
  std::uint32_t sizeOfHeaders = 0x200;
};

struct Layout {
  std::uint32_t optionalSize;
  std::uint32_t directories;
  std::uint32_t sectionTable;
};

Layout layoutOf(bool pe32plus);

// A minimal image as a linker lays it out.
Bytes makeImage(const ImageSpec& spec);

}  // namespace plumex::testing
