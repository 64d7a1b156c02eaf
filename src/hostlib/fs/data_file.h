#pragma once
// DataFile's format: global script variables as INI sections, one per
// variable and, below it, one per array element ("name.index") and object
// property ("name.property"), each with "type" and, for scalars, "value".

#include <span>
#include <string>

#include "hostlib/fs/ini_document.h"
#include "script/values/engine.h"

namespace plumex::hostlib::fs {

// Deeper nesting than this makes a save fail.
inline constexpr int kMaxDataFileDepth = 1000;

// Writes the named globals into doc. An array or object met again on its
// own path is left out. False, with doc unchanged, when a value nests
// deeper than kMaxDataFileDepth or a section name would hold CR, LF or NUL.
bool saveVariables(script::Engine& engine, IniDocument& doc, std::span<const std::string> names);
// Applies every section of doc, in file order, to the globals.
void loadVariables(script::Engine& engine, const IniDocument& doc);

} // namespace plumex::hostlib::fs
