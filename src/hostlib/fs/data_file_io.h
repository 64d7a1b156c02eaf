#pragma once
// DataFile's files, read and written whole. A save keeps the lines the file
// had and replaces it only once the new text is complete.

#include <span>
#include <string>

#include "script/values/engine.h"

namespace plumex::hostlib::fs {

// False, with the file untouched, when it cannot be read or written or the
// variables cannot be saved.
bool saveDataFile(script::Engine& engine, const std::string& path, std::span<const std::string> names);
// False, applying nothing, when the file is missing or cannot be read.
bool loadDataFile(script::Engine& engine, const std::string& path);

} // namespace plumex::hostlib::fs
