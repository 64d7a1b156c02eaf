// The profile functions of the system itself.

#include "hostlib/fs/ini_profile.h"

#include <windows.h>

#include <algorithm>

#include "platform/wide_text_win32.h"

namespace plumex::hostlib::fs {
namespace {

std::wstring wide(std::u16string_view text) { return {text.begin(), text.end()}; }

std::u16string fromWide(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// Text a profile function writes into a buffer: the buffer doubles until
// the answer is shorter than the buffer less `slack`, which is what the
// functions answer when they cut the text short (1 for a string, 2 for a
// list ending in two NULs).
template <class Read>
std::wstring readGrowing(Read&& read, DWORD slack) {
  constexpr std::size_t kLargest = std::size_t{1} << 28;
  std::wstring buffer(1024, L'\0');
  for (;;) {
    const DWORD n = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n + slack < buffer.size() || buffer.size() >= kLargest) {
      buffer.resize(std::min<std::size_t>(n, buffer.size()));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// A list of NUL-ended texts.
std::vector<std::u16string> splitList(std::wstring_view list) {
  std::vector<std::u16string> out;
  while (!list.empty()) {
    const std::size_t end = list.find(L'\0');
    out.push_back(fromWide(list.substr(0, end)));
    if (end == std::wstring_view::npos) break;
    list.remove_prefix(end + 1);
  }
  return out;
}

} // namespace

std::u16string IniProfile::string(std::u16string_view section, std::u16string_view key,
                                  std::u16string_view fallback) const {
  const std::wstring s = wide(section), k = wide(key), f = wide(fallback), p = widen(path_);
  return fromWide(readGrowing(
      [&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer, size, p.c_str());
      },
      1));
}

std::int32_t IniProfile::integer(std::u16string_view section, std::u16string_view key) const {
  const std::wstring s = wide(section), k = wide(key), p = widen(path_);
  return static_cast<std::int32_t>(GetPrivateProfileIntW(s.c_str(), k.c_str(), 0, p.c_str()));
}

std::vector<std::u16string> IniProfile::sectionLines(std::u16string_view section) const {
  const std::wstring s = wide(section), p = widen(path_);
  return splitList(readGrowing(
      [&](wchar_t* buffer, DWORD size) { return GetPrivateProfileSectionW(s.c_str(), buffer, size, p.c_str()); }, 2));
}

std::vector<std::u16string> IniProfile::sectionNames() const {
  const std::wstring p = widen(path_);
  return splitList(readGrowing(
      [&](wchar_t* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, p.c_str()); }, 2));
}

bool IniProfile::writeString(std::u16string_view section, std::u16string_view key, std::u16string_view value) const {
  const std::wstring s = wide(section), k = wide(key), v = wide(value), p = widen(path_);
  return WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), p.c_str()) != 0;
}

bool IniProfile::writeSection(std::u16string_view section, std::span<const std::u16string> lines) const {
  std::wstring list;
  for (const std::u16string& line : lines) list.append(wide(line)).push_back(L'\0');
  // c_str() adds the NUL that ends the list.
  const std::wstring s = wide(section), p = widen(path_);
  return WritePrivateProfileSectionW(s.c_str(), list.c_str(), p.c_str()) != 0;
}

bool IniProfile::deleteSection(std::u16string_view section) const {
  const std::wstring s = wide(section), p = widen(path_);
  return WritePrivateProfileStringW(s.c_str(), nullptr, nullptr, p.c_str()) != 0;
}

bool IniProfile::deleteKey(std::u16string_view section, std::u16string_view key) const {
  const std::wstring s = wide(section), k = wide(key), p = widen(path_);
  return WritePrivateProfileStringW(s.c_str(), k.c_str(), nullptr, p.c_str()) != 0;
}

} // namespace plumex::hostlib::fs
