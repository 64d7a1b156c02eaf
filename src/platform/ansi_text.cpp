#include "platform/ansi_text.h"

#include <array>

namespace plumex {
namespace {

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves
// undefined map to the C1 control of the same number, as Windows does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t byteToUnit(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
  return b;
}

char unitToByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

} // namespace

std::u16string ansiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char b : ansi) out.push_back(byteToUnit(static_cast<unsigned char>(b)));
  return out;
}

std::string utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  // Unit by unit, as the system does: a surrogate pair becomes "??".
  for (char16_t c : text) out.push_back(unitToByte(c));
  return out;
}

namespace {

// Upper case of a Windows-1252 byte.
unsigned char upperByte(unsigned char b) {
  if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return b - 0x20;
  switch (b) {
  case 0x9A: return 0x8A;
  case 0x9C: return 0x8C;
  case 0x9E: return 0x8E;
  case 0xFF: return 0x9F;
  default: return b;
  }
}

} // namespace

bool ansiEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperByte(static_cast<unsigned char>(a[i])) != upperByte(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

} // namespace plumex
