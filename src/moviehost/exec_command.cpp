#include "moviehost/exec_command.h"

#include <algorithm>

namespace plumex::moviehost {
namespace {

std::string joinPath(const std::string& dir, const std::string& file) {
  if (dir.empty()) return {};
  return dir.back() == '\\' ? dir + file : dir + '\\' + file;
}

} // namespace

ExecCommand splitExecText(std::string_view text) {
  ExecCommand c;
  if (const std::size_t quote = text.rfind('"'); quote != std::string_view::npos) {
    c.parameters = std::string(text.substr(quote + 1));
    for (char ch : text.substr(0, quote))
      if (ch != '"') c.file += ch;
  } else if (const std::size_t space = text.find(' '); space != std::string_view::npos) {
    c.file = std::string(text.substr(0, space));
    c.parameters = std::string(text.substr(space));
  } else {
    c.file = std::string(text);
  }
  return c;
}

std::optional<std::string> resolveExecFile(std::string file, const ExecPlaces& places) {
  std::replace(file.begin(), file.end(), '/', '\\');
  if (!file.empty() && file.front() == '\\') file.erase(0, 1);
  if (file.empty()) return std::nullopt;
  if (file.find(':') != std::string::npos) {
    if (places.exists(file)) return file;
    return std::nullopt;
  }
  if (places.extract) {
    const std::string extracted = places.extract(file);
    if (!extracted.empty() && places.exists(extracted)) return extracted;
  }
  const std::string dirs[] = {places.executableDir, joinPath(places.executableDir, "fscommand"),
                              places.systemDir, places.windowsDir};
  for (const std::string& dir : dirs) {
    const std::string candidate = joinPath(dir, file);
    if (!candidate.empty() && places.exists(candidate)) return candidate;
  }
  for (std::size_t start = 0; start <= places.path.size();) {
    std::size_t end = places.path.find(';', start);
    if (end == std::string::npos) end = places.path.size();
    const std::string candidate = joinPath(places.path.substr(start, end - start), file);
    if (!candidate.empty() && places.exists(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

} // namespace plumex::moviehost
