#pragma once
// INI files as the system's profile functions see them. On Windows it is
// those functions themselves, so a path without a directory names a file
// in the Windows directory; elsewhere it is our own document, read and
// written whole on each call, and a relative path is relative to the
// current directory. Text is UTF-16 on both sides; callers keep CR, LF and
// NUL out of names, values and lines.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::fs {

class IniProfile {
public:
  explicit IniProfile(std::string path) : path_(std::move(path)) {}

  // The value, or fallback when the section or the key is missing.
  std::u16string string(std::u16string_view section, std::u16string_view key, std::u16string_view fallback) const;
  // The value read as the system reads a number (leading blanks, a sign,
  // a "0x", "0o" or "0b" prefix, digits up to the first other character,
  // 32 bits that wrap); 0 when missing or not numeric.
  std::int32_t integer(std::u16string_view section, std::u16string_view key) const;
  // The section's lines as "key=value" (a line without "=" as it is);
  // blank lines and ";" comments are left out.
  std::vector<std::u16string> sectionLines(std::u16string_view section) const;
  std::vector<std::u16string> sectionNames() const;

  // False when the file cannot be read or written.
  bool writeString(std::u16string_view section, std::u16string_view key, std::u16string_view value) const;
  // Replaces the section's keys by the lines that hold an "=".
  bool writeSection(std::u16string_view section, std::span<const std::u16string> lines) const;
  // True also when there was nothing to delete, as the system answers.
  bool deleteSection(std::u16string_view section) const;
  bool deleteKey(std::u16string_view section, std::u16string_view key) const;

private:
  std::string path_;
};

} // namespace plumex::hostlib::fs
