#pragma once
// DataFile's enciphered files: the INI text through the file cipher of the
// Encryption class, under a pass phrase of the program's own. The plain
// text stays in memory (a plain temporary file could outlive a crash); the
// target is written beside itself and put in place once complete.

#include <span>
#include <string>

#include "script/values/engine.h"

namespace plumex::hostlib::fs {

// Replaces the file whole with the named globals, enciphered. False, with
// the file untouched, when the variables cannot be saved or a file cannot
// be written.
bool saveEncipheredDataFile(script::Engine& engine, const std::string& path, std::span<const std::string> names);
// False, applying nothing, when the file is missing, cannot be read, was
// enciphered under another pass phrase or was changed since.
bool loadEncipheredDataFile(script::Engine& engine, const std::string& path);

} // namespace plumex::hostlib::fs
