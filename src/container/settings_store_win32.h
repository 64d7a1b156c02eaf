#pragma once
// The settings saved in the registry under the application's key and
// profile: "Settings"/"crc" (the stamp of the build that wrote them) and
// "Settings"/"Options" (the stored record).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "container/settings_record.h"

namespace plumex::container {

class SettingsStore {
public:
  // HKEY_CURRENT_USER\Software\<key>\<profile>\Settings
  SettingsStore(std::string registryKey, std::string profile);

  std::optional<std::vector<std::uint8_t>> read(const char* name) const;
  bool write(const char* name, const std::vector<std::uint8_t>& data) const;

  // Start-up: the saved options when the stamp matches and they read back;
  // otherwise the packaged record, which is then saved with the new stamp.
  SettingsRecord load(const std::vector<std::uint8_t>& stamp,
                      const std::optional<std::vector<std::uint8_t>>& packaged) const;

  void save(const SettingsRecord& record) const;

private:
  std::string path_;
};

} // namespace plumex::container
