#pragma once
// Packaged records shown as the manifest fields that make them (for
// plumex-pack --list). Texts are UTF-8, as in a manifest.

#include <nlohmann/json.hpp>

#include "container/records.h"
#include "container/settings_record.h"

namespace plumex::pack {

// {"registryKey", "profile" (when stored), "guid"}
nlohmann::ordered_json identityFields(const container::Identity& identity);
// The groups of "settings", every field of each.
nlohmann::ordered_json settingsFields(const container::SettingsRecord& settings);
// {"main", "kind", "protect"}
nlohmann::ordered_json movieFields(const container::MovieRecord& movie);

} // namespace plumex::pack
