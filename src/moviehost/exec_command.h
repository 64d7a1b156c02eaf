#pragma once
// The "exec" command of a movie: its text split into a file and
// parameters, and the file looked for where a projector's helpers live.
// The file system and the archive are reached through the places given, so
// the rules are the same everywhere and tested natively.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plumex::moviehost {

struct ExecCommand {
  std::string file;
  std::string parameters;  // as written, a leading space included
};

// With a double quote: the text after the last one is the parameters and
// the text before it, quotes removed, the file. Else the first space
// splits them. Else all of it is the file.
ExecCommand splitExecText(std::string_view text);

struct ExecPlaces {
  // The path of the file extracted from the application archive, or "".
  std::function<std::string(const std::string& relative)> extract;
  std::function<bool(const std::string& path)> exists;
  std::string executableDir, systemDir, windowsDir;
  std::string path;  // the PATH variable, directories separated by ';'
};

// The first existing file: a path with ":" as it is; a relative one from
// the archive, then beside the executable, in its "fscommand" folder, in
// the system and Windows folders and along PATH. Slashes count as
// backslashes and one leading backslash is dropped. Nothing for an empty
// file or when none exists.
std::optional<std::string> resolveExecFile(std::string file, const ExecPlaces& places);

} // namespace plumex::moviehost
