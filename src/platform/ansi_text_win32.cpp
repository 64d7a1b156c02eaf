#include "platform/ansi_text.h"

#include <windows.h>

#include <limits>
#include <stdexcept>

namespace plumex {
namespace {

int checkedLength(std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw std::length_error("text too long for the system code page");
  return static_cast<int>(n);
}

} // namespace

std::u16string ansiToUtf16(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int inLen = checkedLength(ansi.size());
  const int need = MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(need), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen,
                      reinterpret_cast<wchar_t*>(out.data()), need);
  return out;
}

std::string utf16ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const int inLen = checkedLength(text.size());
  const auto* in = reinterpret_cast<const wchar_t*>(text.data());
  // Ask for the size: a double-byte code page may need more than one byte
  // per unit.
  const int need = WideCharToMultiByte(CP_ACP, 0, in, inLen, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(need), '\0');
  WideCharToMultiByte(CP_ACP, 0, in, inLen, out.data(), need, nullptr, nullptr);
  return out;
}

bool ansiEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() > 0x7FFFFFFF || b.size() > 0x7FFFFFFF) return false;
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

} // namespace plumex
