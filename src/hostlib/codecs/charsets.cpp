#include "hostlib/codecs/charsets.h"

namespace plumex::hostlib::codecs {

std::string_view charsetForCodePage(unsigned codePage) {
  switch (codePage) {
    case 874: return "windows-874";
    case 932: return "shift_jis";
    case 936: return "gb2312";
    case 949: return "ks_c_5601-1987";
    case 950: return "big5";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1252: return "windows-1252";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 65001: return "utf-8";
    default: return "iso-8859-1";
  }
}

bool isLeadByte(unsigned codePage, std::uint8_t b) {
  switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950: return b >= 0x81 && b <= 0xFE;
    default: return false;
  }
}

std::size_t characterLength(unsigned codePage, std::string_view text, std::size_t i) {
  const auto b = static_cast<std::uint8_t>(text[i]);
  std::size_t n = 1;
  if (codePage == 65001) {
    n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    // Continuation bytes only: a broken sequence counts byte by byte.
    for (std::size_t k = 1; k < n; ++k)
      if (i + k >= text.size() || (static_cast<std::uint8_t>(text[i + k]) & 0xC0) != 0x80) return 1;
  } else if (isLeadByte(codePage, b)) {
    n = 2;
  }
  return i + n <= text.size() ? n : 1;
}

} // namespace plumex::hostlib::codecs
