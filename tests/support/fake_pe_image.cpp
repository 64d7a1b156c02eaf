#include "fake_pe_image.h"

#include <algorithm>

namespace plumex::testing {

std::uint32_t get32(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t{b.at(at + 3)} << 24;
}
std::uint16_t get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8); }
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
std::uint32_t alignUp(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }
Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Layout layoutOf(bool pe32plus) {
  const std::uint32_t optionalSize = pe32plus ? 0xF0 : 0xE0;
  return {optionalSize, kOptionalHeader + (pe32plus ? 112u : 96u), kOptionalHeader + optionalSize};
}

Bytes makeImage(const ImageSpec& spec) {
  const Layout layout = layoutOf(spec.pe32plus);
  Bytes image(spec.sizeOfHeaders, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put32(image, 0x3C, 0x40);
  image[0x40] = 'P';
  image[0x41] = 'E';
  put16(image, kFileHeader, spec.pe32plus ? 0x8664 : 0x14C);
  put16(image, kFileHeader + 2, static_cast<std::uint16_t>(spec.sections.size()));
  put16(image, kFileHeader + 16, static_cast<std::uint16_t>(layout.optionalSize));
  put16(image, kFileHeader + 18, 0x0102);
  put16(image, kOptionalHeader, spec.pe32plus ? 0x20B : 0x10B);
  put32(image, kOptionalHeader + 32, kSectionAlignment);
  put32(image, kOptionalHeader + 36, kFileAlignment);
  put32(image, kOptionalHeader + 60, spec.sizeOfHeaders);
  put16(image, kOptionalHeader + 68, 3);
  put32(image, layout.directories - 4, 16);

  std::uint32_t sizeOfImage = kSectionAlignment;
  for (std::size_t i = 0; i < spec.sections.size(); ++i) {
    const SectionSpec& s = spec.sections[i];
    const std::uint32_t header = layout.sectionTable + 40 * static_cast<std::uint32_t>(i);
    const auto rawPointer = static_cast<std::uint32_t>(image.size());
    std::copy(s.name.begin(), s.name.end(), image.begin() + header);
    put32(image, header + 8, static_cast<std::uint32_t>(s.raw.size()));
    put32(image, header + 12, s.virtualAddress);
    put32(image, header + 16, alignUp(static_cast<std::uint32_t>(s.raw.size()), kFileAlignment));
    put32(image, header + 20, rawPointer);
    put32(image, header + 36, 0x40000040);
    image.insert(image.end(), s.raw.begin(), s.raw.end());
    image.resize(alignUp(static_cast<std::uint32_t>(image.size()), kFileAlignment), 0);
    sizeOfImage = std::max(sizeOfImage, alignUp(s.virtualAddress + static_cast<std::uint32_t>(s.raw.size()), kSectionAlignment));
    if (spec.resourceSection == i) {
      put32(image, layout.directories + 16, s.virtualAddress);
      put32(image, layout.directories + 20, static_cast<std::uint32_t>(s.raw.size()));
    }
  }
  put32(image, kOptionalHeader + 56, sizeOfImage);
  if (!spec.overlay.empty()) {
    put32(image, kFileHeader + 8, static_cast<std::uint32_t>(image.size()));
    put32(image, kFileHeader + 12, 7);
    image.insert(image.end(), spec.overlay.begin(), spec.overlay.end());
  }
  return image;
}

}  // namespace plumex::testing
