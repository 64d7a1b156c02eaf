#include "hostlib/fs/ini_document.h"

#include <algorithm>

namespace plumex::hostlib::fs {
namespace {

constexpr std::string_view kBlank = " \t";

std::string_view trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

std::string fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The name of a header line ("[name]", up to the last "]"), or nothing.
std::optional<std::string_view> headerName(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const std::size_t close = t.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return trim(t.substr(1, close - 1));
}

// The key of a line: what comes before "=", trimmed; the whole trimmed line
// when it has none.
std::string_view keyOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  return trim(eq == std::string_view::npos ? line : line.substr(0, eq));
}

bool forgesLines(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

} // namespace

IniDocument IniDocument::parse(std::string_view text) {
  IniDocument doc;
  if (text.starts_with("\xEF\xBB\xBF")) {
    doc.bom_ = text.substr(0, 3);
    text.remove_prefix(3);
  }
  Section* current = &doc.sections_.back();
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      text.remove_prefix(end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1));
    }
    if (const auto name = headerName(line)) {
      current = &doc.addSection(std::string(line), *name);
      continue;
    }
    current->lines.emplace_back(line);
    doc.indexLine(*current, current->lines.size() - 1);
  }
  return doc;
}

IniDocument::Section& IniDocument::addSection(std::string header, std::string_view name) {
  sectionIndex_.try_emplace(fold(name), sections_.size());
  sections_.push_back({std::move(header), {}, {}});
  return sections_.back();
}

void IniDocument::indexLine(Section& s, std::size_t line) {
  const std::string_view key = keyOf(s.lines[line]);
  if (!key.empty()) s.keys.try_emplace(fold(key), line);
}

std::string IniDocument::text() const {
  std::string out = bom_;
  for (const Section& s : sections_) {
    if (&s != &sections_.front()) out.append(s.header).append("\r\n");
    for (const std::string& line : s.lines) out.append(line).append("\r\n");
  }
  return out;
}

std::vector<std::string> IniDocument::sectionNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < sections_.size(); ++i) names.emplace_back(*headerName(sections_[i].header));
  return names;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
  const auto s = sectionIndex_.find(fold(trim(section)));
  if (s == sectionIndex_.end()) return std::nullopt;
  const Section& sec = sections_[s->second];
  const auto k = sec.keys.find(fold(trim(key)));
  if (k == sec.keys.end()) return std::nullopt;
  const std::string_view line = sec.lines[k->second];
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::string();
  std::string_view v = trim(line.substr(eq + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  section = trim(section);
  key = trim(key);
  if (key.empty() || key.find('=') != std::string_view::npos || forgesLines(section) || forgesLines(key) ||
      forgesLines(value))
    return false;
  std::string line = std::string(key) + "=" + std::string(value);
  const auto found = sectionIndex_.find(fold(section));
  Section& sec = found != sectionIndex_.end() ? sections_[found->second]
                                              : addSection("[" + std::string(section) + "]", section);
  if (const auto k = sec.keys.find(fold(key)); k != sec.keys.end()) {
    sec.lines[k->second] = std::move(line);
    return true;
  }
  // After the section's last non-blank line, so the blank line that
  // separates it from the next stays between them.
  std::size_t at = sec.lines.size();
  while (at > 0 && trim(sec.lines[at - 1]).empty()) --at;
  sec.lines.insert(sec.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  if (at + 1 != sec.lines.size()) {
    // Lines after the insertion moved down by one.
    for (auto& [name, index] : sec.keys)
      if (index >= at) ++index;
  }
  indexLine(sec, at);
  return true;
}

std::vector<std::string> IniDocument::sectionLines(std::string_view section) const {
  std::vector<std::string> out;
  const auto s = sectionIndex_.find(fold(trim(section)));
  if (s == sectionIndex_.end()) return out;
  for (const std::string& line : sections_[s->second].lines) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') continue;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
      out.emplace_back(t);
    else
      out.push_back(std::string(trim(t.substr(0, eq))) + "=" + std::string(trim(t.substr(eq + 1))));
  }
  return out;
}

bool IniDocument::replaceSection(std::string_view section, std::span<const std::string> lines) {
  section = trim(section);
  if (forgesLines(section)) return false;
  std::vector<std::string> keyed;
  for (const std::string& line : lines) {
    if (forgesLines(line)) return false;
    const std::string_view l = line;
    const std::size_t eq = l.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view value = l.substr(eq + 1);
    value.remove_prefix(std::min(value.size(), value.find_first_not_of(kBlank)));
    keyed.push_back(std::string(trim(l.substr(0, eq))) + "=" + std::string(value));
  }
  const std::string folded = fold(section);
  Section* first = nullptr;
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    Section& s = sections_[i];
    if (fold(*headerName(s.header)) != folded) continue;
    // Blank lines at the end keep the section apart from the next one.
    std::size_t blanks = 0;
    while (blanks < s.lines.size() && trim(s.lines[s.lines.size() - 1 - blanks]).empty()) ++blanks;
    s.lines.erase(s.lines.begin(), s.lines.end() - static_cast<std::ptrdiff_t>(blanks));
    if (!first) first = &s;
  }
  if (!first && !keyed.empty()) first = &addSection("[" + std::string(section) + "]", section);
  if (first) first->lines.insert(first->lines.begin(), keyed.begin(), keyed.end());
  reindex();
  return true;
}

bool IniDocument::removeSection(std::string_view section) {
  const auto s = sectionIndex_.find(fold(trim(section)));
  if (s == sectionIndex_.end()) return false;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(s->second));
  reindex();
  return true;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
  const std::string folded = fold(trim(section)), foldedKey = fold(trim(key));
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    Section& s = sections_[i];
    if (fold(*headerName(s.header)) != folded) continue;
    const auto k = s.keys.find(foldedKey);
    if (k == s.keys.end()) continue;
    s.lines.erase(s.lines.begin() + static_cast<std::ptrdiff_t>(k->second));
    reindex();
    return true;
  }
  return false;
}

void IniDocument::reindex() {
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    Section& s = sections_[i];
    if (i > 0) sectionIndex_.try_emplace(fold(*headerName(s.header)), i);
    s.keys.clear();
    for (std::size_t line = 0; line < s.lines.size(); ++line) indexLine(s, line);
  }
}

} // namespace plumex::hostlib::fs
