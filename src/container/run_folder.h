#pragma once
// The per-run folder that extracted files live in:
// "<TMP, TEMP or the Windows folder>\{GUID}\".

#include <string>

#include "container/records.h"

namespace plumex::container {

// Each candidate counts only when non-empty and shorter than 260 characters.
// Empty when none does.
std::string runFolderPath(const std::string& tmp, const std::string& temp,
                          const std::string& windowsDir, const Guid& guid);

} // namespace plumex::container
