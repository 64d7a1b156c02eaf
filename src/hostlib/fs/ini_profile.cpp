// The profile functions over our own document: each call reads the file
// whole and each change writes it whole, beside the target first.

#include "hostlib/fs/ini_profile.h"

#include <cstdint>
#include <optional>

#include "hostlib/fs/ini_document.h"
#include "hostlib/streams/replace_file.h"
#include "platform/ansi_text.h"
#include "platform/files.h"

namespace plumex::hostlib::fs {
namespace {

// The document of the file; empty when it does not exist, nothing when it
// exists but cannot be read.
std::optional<IniDocument> readDocument(const std::string& path) {
  if (!fileExists(path)) return directoryExists(path) ? std::nullopt : std::optional<IniDocument>(IniDocument());
  InputFile file;
  if (!file.open(path)) return std::nullopt;
  std::string text(static_cast<std::size_t>(file.size()), '\0');
  if (!file.readExactly(text.data(), text.size())) return std::nullopt;
  return IniDocument::parse(text);
}

bool writeDocument(const std::string& path, const IniDocument& doc) {
  const std::string text = doc.text();
  return streams::replaceFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::vector<std::u16string> toUtf16(const std::vector<std::string>& texts) {
  std::vector<std::u16string> out;
  out.reserve(texts.size());
  for (const std::string& t : texts) out.push_back(ansiToUtf16(t));
  return out;
}

int digitOf(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  return -1;
}

// The system's reading of a number with the base taken from its prefix.
std::int32_t readInteger(std::u16string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] <= u' ') ++i;
  bool minus = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) minus = s[i++] == u'-';
  int base = 10;
  if (i + 1 < s.size() && s[i] == u'0') {
    if (s[i + 1] == u'b') base = 2;
    else if (s[i + 1] == u'o') base = 8;
    else if (s[i + 1] == u'x') base = 16;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < s.size(); ++i) {
    const int digit = digitOf(s[i]);
    if (digit < 0 || digit >= base) break;
    total = total * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(minus ? 0u - total : total);
}

// Reads, changes and writes the document; a change that leaves the text as
// it was writes nothing. False when the file cannot be read or written or
// the change is refused.
template <class Change>
bool changeDocument(const std::string& path, Change&& change) {
  std::optional<IniDocument> doc = readDocument(path);
  if (!doc) return false;
  const std::string before = doc->text();
  if (!change(*doc)) return false;
  return doc->text() == before || writeDocument(path, *doc);
}

} // namespace

std::u16string IniProfile::string(std::u16string_view section, std::u16string_view key,
                                  std::u16string_view fallback) const {
  const std::optional<IniDocument> doc = readDocument(path_);
  const std::optional<std::string> value = doc ? doc->value(utf16ToAnsi(section), utf16ToAnsi(key)) : std::nullopt;
  return value ? ansiToUtf16(*value) : std::u16string(fallback);
}

std::int32_t IniProfile::integer(std::u16string_view section, std::u16string_view key) const {
  return readInteger(string(section, key, u""));
}

std::vector<std::u16string> IniProfile::sectionLines(std::u16string_view section) const {
  const std::optional<IniDocument> doc = readDocument(path_);
  return doc ? toUtf16(doc->sectionLines(utf16ToAnsi(section))) : std::vector<std::u16string>();
}

std::vector<std::u16string> IniProfile::sectionNames() const {
  const std::optional<IniDocument> doc = readDocument(path_);
  return doc ? toUtf16(doc->sectionNames()) : std::vector<std::u16string>();
}

bool IniProfile::writeString(std::u16string_view section, std::u16string_view key, std::u16string_view value) const {
  return changeDocument(path_, [&](IniDocument& doc) {
    return doc.set(utf16ToAnsi(section), utf16ToAnsi(key), utf16ToAnsi(value));
  });
}

bool IniProfile::writeSection(std::u16string_view section, std::span<const std::u16string> lines) const {
  std::vector<std::string> ansi;
  ansi.reserve(lines.size());
  for (const std::u16string& line : lines) ansi.push_back(utf16ToAnsi(line));
  return changeDocument(path_, [&](IniDocument& doc) { return doc.replaceSection(utf16ToAnsi(section), ansi); });
}

bool IniProfile::deleteSection(std::u16string_view section) const {
  // Nothing to remove is no failure.
  return changeDocument(path_, [&](IniDocument& doc) {
    doc.removeSection(utf16ToAnsi(section));
    return true;
  });
}

bool IniProfile::deleteKey(std::u16string_view section, std::u16string_view key) const {
  return changeDocument(path_, [&](IniDocument& doc) {
    doc.removeKey(utf16ToAnsi(section), utf16ToAnsi(key));
    return true;
  });
}

} // namespace plumex::hostlib::fs
