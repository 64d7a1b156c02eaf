#include "hostlib/mail/header_fields.h"

#include <charconv>
#include <map>

namespace plumex::hostlib::mail {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (isBlank(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// The end of the line that starts at i: where its line end begins.
std::size_t lineEnd(std::string_view text, std::size_t i) {
  const std::size_t lf = text.find('\n', i);
  if (lf == std::string_view::npos) return text.size();
  return lf > i && text[lf - 1] == '\r' ? lf - 1 : lf;
}

struct Parameter {
  std::string_view name;
  std::string value;
  bool extended = false;  // written name*=... or name*N*=...
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string percentDecode(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) << 4 | hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Calls f(Parameter) for each "name=value" after the main value.
template <class F>
void forEachParameter(std::string_view value, F&& f) {
  std::size_t i = 0;
  const std::size_t n = value.size();
  while (i < n) {
    // Skip to the next ';' outside quotes.
    bool quoted = false;
    for (; i < n; ++i) {
      if (quoted && value[i] == '\\') {
        ++i;
      } else if (value[i] == '"') {
        quoted = !quoted;
      } else if (!quoted && value[i] == ';') {
        break;
      }
    }
    if (i >= n) return;
    ++i;  // past ';'
    while (i < n && isBlank(value[i])) ++i;
    const std::size_t nameStart = i;
    while (i < n && value[i] != '=' && value[i] != ';') ++i;
    if (i >= n || value[i] != '=') continue;
    Parameter p;
    p.name = trim(value.substr(nameStart, i - nameStart));
    ++i;  // past '='
    while (i < n && isBlank(value[i])) ++i;
    if (i < n && value[i] == '"') {
      for (++i; i < n && value[i] != '"'; ++i) {
        if (value[i] == '\\' && i + 1 < n) ++i;
        p.value += value[i];
      }
      if (i < n) ++i;  // past the closing quote
    } else {
      const std::size_t start = i;
      while (i < n && value[i] != ';') ++i;
      p.value = std::string(trim(value.substr(start, i - start)));
    }
    f(p);
    // i is at ';' or past the value: the loop looks for the next ';'.
  }
}

// "title*1*" → ("title", 1, true); "title" → ("title", -1, false).
struct NameParts {
  std::string_view base;
  int section = -1;
  bool extended = false;
};
NameParts splitName(std::string_view name) {
  NameParts parts{name};
  if (!name.empty() && name.back() == '*') {
    parts.extended = true;
    name.remove_suffix(1);
  }
  const std::size_t star = name.rfind('*');
  if (star != std::string_view::npos) {
    int section = 0;
    const auto [end, ec] = std::from_chars(name.data() + star + 1, name.data() + name.size(), section);
    if (ec == std::errc() && end == name.data() + name.size() && star + 1 < name.size()) {
      parts.section = section;
      name = name.substr(0, star);
    }
  }
  parts.base = name;
  return parts;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::size_t lineEndAt(std::string_view text, std::size_t i) {
  if (i >= text.size()) return 0;
  if (text[i] == '\n') return 1;
  return text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 0;
}

HeaderSplit splitHeader(std::string_view part) {
  if (const std::size_t n = lineEndAt(part, 0)) return {0, n};
  for (std::size_t lf = part.find('\n'); lf != std::string_view::npos; lf = part.find('\n', lf + 1)) {
    if (const std::size_t n = lineEndAt(part, lf + 1)) return {lf + 1, lf + 1 + n};
  }
  return {part.size(), part.size()};
}

std::optional<std::string> findField(std::string_view block, std::string_view name) {
  std::size_t line = 0;
  while (line < block.size()) {
    const std::size_t end = lineEnd(block, line);
    if (end - line > name.size() && block[line + name.size()] == ':' &&
        equalsIgnoringCase(block.substr(line, name.size()), name)) {
      std::string value;
      std::size_t from = line + name.size() + 1;
      std::size_t to = end;
      while (true) {
        for (std::size_t i = from; i < to; ++i) value += block[i] == '\t' ? ' ' : block[i];
        const std::size_t next = to + lineEndAt(block, to);
        if (next == to || next >= block.size() || !isBlank(block[next])) break;
        from = next;
        to = lineEnd(block, next);
      }
      return std::string(trim(value));
    }
    const std::size_t lf = block.find('\n', line);
    if (lf == std::string_view::npos) break;
    line = lf + 1;
  }
  return std::nullopt;
}

std::string mainValue(std::string_view value) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < value.size(); ++i) {
    if (value[i] == '"') quoted = !quoted;
    if (!quoted && value[i] == ';') break;
  }
  return std::string(trim(value.substr(0, i)));
}

std::optional<std::string> findParameter(std::string_view value, std::string_view name) {
  std::optional<std::string> plain;
  std::optional<std::string> whole;  // name*=
  std::map<int, Parameter> sections;
  forEachParameter(value, [&](const Parameter& p) {
    if (equalsIgnoringCase(p.name, name)) {
      if (!plain) plain = p.value;
      return;
    }
    const NameParts parts = splitName(p.name);
    if (!equalsIgnoringCase(parts.base, name) || parts.base.size() == p.name.size()) return;
    if (parts.section < 0) {
      if (!whole) whole = p.value;
    } else if (!sections.count(parts.section)) {
      sections[parts.section] = Parameter{p.name, p.value, parts.extended};
    }
  });
  if (plain) return plain;
  // charset'language'text: the text after the second quote.
  auto stripCharset = [](std::string_view v) {
    const std::size_t first = v.find('\'');
    const std::size_t second = first == std::string_view::npos ? first : v.find('\'', first + 1);
    return second == std::string_view::npos ? v : v.substr(second + 1);
  };
  if (whole) return percentDecode(stripCharset(*whole));
  if (sections.empty() || !sections.count(0)) return std::nullopt;
  std::string joined;
  for (int k = 0; sections.count(k); ++k) {
    const Parameter& s = sections[k];
    if (!s.extended) {
      joined += s.value;
    } else {
      joined += percentDecode(k == 0 ? stripCharset(s.value) : std::string_view(s.value));
    }
  }
  return joined;
}

} // namespace plumex::hostlib::mail
