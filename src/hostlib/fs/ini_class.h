#pragma once
// The INI class, also the global "Ini": reads and writes one INI file
// through the profile rules (ini_profile.h).

#include "script/values/engine.h"

namespace plumex::hostlib::fs {

void registerIniClass(script::Engine& engine);

} // namespace plumex::hostlib::fs
