#pragma once
// ANSI text to and from the wide strings of the W functions (wchar_t is
// 16 bits on Windows, so the code units carry over one for one).

#include <string>
#include <string_view>

#include "platform/ansi_text.h"

namespace plumex {

inline std::wstring widen(std::string_view ansi) {
  const std::u16string text = ansiToUtf16(ansi);
  return {text.begin(), text.end()};
}

inline std::string narrow(std::wstring_view wide) {
  return utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

} // namespace plumex
