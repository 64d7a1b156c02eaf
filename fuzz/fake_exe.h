#pragma once
// The smallest file locateArchive takes for an executable: a DOS header, the
// PE signature, a file header, an empty optional header and one section whose
// raw data ends where the headers end, so the archive follows at kFakeExeSize.

#include <cstdint>
#include <vector>

namespace plumex::fuzz {

constexpr std::uint32_t kFakeExeSize = 0x200;

inline std::vector<std::uint8_t> fakeExeHeaders() {
  std::vector<std::uint8_t> b(kFakeExeSize, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  constexpr std::uint32_t peAt = 0x40;
  b[0] = 'M', b[1] = 'Z';
  put32(0x3C, peAt);
  b[peAt] = 'P', b[peAt + 1] = 'E';
  b[peAt + 6] = 1; // one section, no optional header
  const std::uint32_t section = peAt + 24;
  put32(section + 16, 0);            // SizeOfRawData
  put32(section + 20, kFakeExeSize); // PointerToRawData
  return b;
}

} // namespace plumex::fuzz
