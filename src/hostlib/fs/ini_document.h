#pragma once
// An INI file held whole in memory: read once, changed, written once. Lookups
// follow the profile rules of the system's functions: section and key names
// compare without regard to ASCII case, the first match wins, names and
// values are trimmed and a value wrapped in a matching pair of quotes loses
// them. Every line is kept as written (comments, lines without "=", blank
// lines); a changed key rewrites its own line only.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plumex::hostlib::fs {

class IniDocument {
public:
  IniDocument() : sections_(1) {}

  // Any bytes: a UTF-8 byte-order mark is kept aside and written back; lines
  // end at LF, CR LF or a lone CR.
  static IniDocument parse(std::string_view text);
  // Lines joined by CR LF.
  std::string text() const;

  // Every section header's name in file order, duplicates included.
  std::vector<std::string> sectionNames() const;
  // The value of the first matching key of the first matching section.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // Rewrites the first matching key's line, or adds one at the end of the
  // section, or a new section at the end of the file. Names and values
  // with CR, LF or NUL are refused (false): they would forge lines.
  bool set(std::string_view section, std::string_view key, std::string_view value);

  // The first matching section's lines as the system lists them: blank
  // lines and ";" comments left out, "key=value" trimmed around the "=",
  // a line without "=" as its trimmed text.
  std::vector<std::string> sectionLines(std::string_view section) const;
  // Empties every matching section and gives the first one the lines that
  // hold an "=", each as a key of its own (repeats stay); a line without
  // "=" is left out, as the system leaves it out. A missing section is
  // added at the end when there are lines to put in it. False, changing
  // nothing, for CR, LF or NUL in the name or a line.
  bool replaceSection(std::string_view section, std::span<const std::string> lines);
  // Removes the first matching section, header and lines. False when
  // there is none.
  bool removeSection(std::string_view section);
  // Removes the line of the first matching key, looking through every
  // matching section in order. False when there is none.
  bool removeKey(std::string_view section, std::string_view key);

private:
  struct Section {
    std::string header;               // the raw header line; empty for the lines before any header
    std::vector<std::string> lines;   // everything up to the next header
    std::unordered_map<std::string, std::size_t> keys;  // folded key name -> first line holding it
  };
  Section& addSection(std::string header, std::string_view name);
  void indexLine(Section& s, std::size_t line);
  // Rebuilds both indexes after lines or sections were removed.
  void reindex();

  std::string bom_;
  std::vector<Section> sections_;     // the first one is the nameless part before any header
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> first section
};

} // namespace plumex::hostlib::fs
