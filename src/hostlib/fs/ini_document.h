#pragma once
// An INI file held whole in memory: read once, changed, written once. Lookups
// follow the profile rules of the system's functions: section and key names
// compare without regard to ASCII case, the first match wins, names and
// values are trimmed and a value wrapped in a matching pair of quotes loses
// them. Every line is kept as written (comments, lines without "=", blank
// lines); a changed key rewrites its own line only.

#include <cstddef>
#include <optional>
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

private:
  struct Section {
    std::string header;               // the raw header line; empty for the lines before any header
    std::vector<std::string> lines;   // everything up to the next header
    std::unordered_map<std::string, std::size_t> keys;  // folded key name -> first line holding it
  };
  Section& addSection(std::string header, std::string_view name);
  void indexLine(Section& s, std::size_t line);

  std::string bom_;
  std::vector<Section> sections_;     // the first one is the nameless part before any header
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> first section
};

} // namespace plumex::hostlib::fs
