#include "hostlib/fs/path_checks.h"

#include <array>

namespace plumex::hostlib::fs {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsUpper(std::string_view s, std::string_view upperName) {
  if (s.size() != upperName.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (upper(s[i]) != upperName[i]) return false;
  return true;
}

// The system takes the last component as a device when what comes before
// its first "." (trailing blanks ignored) is a device name, in any case.
bool namesDevice(std::string_view path) {
  std::string_view name = path.substr(path.find_last_of("\\/:") + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kNames)
    if (equalsUpper(name, device)) return true;
  return name.size() == 4 && (equalsUpper(name.substr(0, 3), "COM") || equalsUpper(name.substr(0, 3), "LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}

} // namespace

bool isUsablePath(std::string_view path) {
  return !path.empty() && path.size() <= kMaxPathLength && path.find_first_of("*?") == std::string_view::npos &&
         path.find('\0') == std::string_view::npos && !namesDevice(path);
}

} // namespace plumex::hostlib::fs
