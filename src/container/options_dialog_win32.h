#pragma once
// The "Options" property sheet (the context menu's "Config..."): five pages
// over a copy of the settings. OK gives the edited copy; Cancel gives
// nothing and changes nothing.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "container/settings_record.h"

namespace plumex::container {

std::optional<SettingsRecord> runOptionsSheet(HINSTANCE instance, HWND owner, const SettingsRecord& settings,
                                              const std::vector<std::string>& maskNames,
                                              const std::function<void()>& help);

} // namespace plumex::container
