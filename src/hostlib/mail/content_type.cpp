#include "hostlib/mail/content_type.h"

#include "hostlib/mail/header_fields.h"

namespace plumex::hostlib::mail {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

} // namespace

std::string_view extensionOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.find_last_of("\\/");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

std::optional<std::string> findContentType(std::string_view table, std::string_view extension) {
  if (extension.empty()) return std::nullopt;
  std::size_t line = 0;
  while (line < table.size()) {
    std::size_t end = table.find('\n', line);
    if (end == std::string_view::npos) end = table.size();
    std::string_view text = table.substr(line, end - line);
    line = end + 1;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
    // The type, then its extensions.
    std::size_t i = 0;
    std::string_view type;
    for (bool first = true;; first = false) {
      while (i < text.size() && isSpace(text[i])) ++i;
      if (i >= text.size()) break;
      const std::size_t start = i;
      while (i < text.size() && !isSpace(text[i])) ++i;
      const std::string_view word = text.substr(start, i - start);
      if (first) type = word;
      else if (equalsIgnoringCase(word, extension)) return std::string(type);
    }
  }
  return std::nullopt;
}

} // namespace plumex::hostlib::mail
