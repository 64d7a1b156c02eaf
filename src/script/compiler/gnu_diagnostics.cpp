#include "script/compiler/gnu_diagnostics.h"

#include <charconv>

namespace plumex::script::compiler {
namespace {

std::string gnuLine(std::string_view line, std::string_view file) {
  for (const std::string_view kind : {"warning", "error"}) {
    const std::string prefix = std::string(kind) + ": line ";
    if (!line.starts_with(prefix)) continue;
    const std::string_view rest = line.substr(prefix.size());
    long long n = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
    if (ec != std::errc() || !std::string_view(end, rest.data() + rest.size()).starts_with(": ")) break;
    const std::string_view text = std::string_view(end + 2, rest.data() + rest.size() - end - 2);
    return std::string(file) + ":" + std::to_string(n + 1) + ": " + std::string(kind) + ": " + std::string(text);
  }
  return std::string(line);
}

} // namespace

std::string gnuDiagnostics(std::string_view messages, std::string_view file) {
  std::string out;
  while (!messages.empty()) {
    const std::size_t end = messages.find('\n');
    std::string_view line = messages.substr(0, end);
    messages.remove_prefix(end == std::string_view::npos ? messages.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    out += gnuLine(line, file);
    out += '\n';
  }
  return out;
}

} // namespace plumex::script::compiler
