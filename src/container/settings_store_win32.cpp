#include "container/settings_store_win32.h"

#include "container/container_errors.h"

namespace plumex::container {
namespace {

struct RegKey {
  HKEY key = nullptr;
  ~RegKey() {
    if (key) RegCloseKey(key);
  }
};

} // namespace

SettingsStore::SettingsStore(std::string registryKey, std::string profile)
    : path_("Software\\" + registryKey + "\\" + profile + "\\Settings") {}

std::optional<std::vector<std::uint8_t>> SettingsStore::read(const char* name) const {
  RegKey k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &k.key) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k.key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY)
    return std::nullopt;
  std::vector<std::uint8_t> data(size);
  if (RegQueryValueExA(k.key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  data.resize(size);
  return data;
}

bool SettingsStore::write(const char* name, const std::vector<std::uint8_t>& data) const {
  RegKey k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k.key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExA(k.key, name, 0, REG_BINARY, data.data(),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

SettingsRecord SettingsStore::load(const std::vector<std::uint8_t>& stamp,
                                   const std::optional<std::vector<std::uint8_t>>& packaged) const {
  bool savedValid = read("crc") == stamp;
  if (!savedValid) write("crc", stamp);
  if (savedValid) {
    if (const auto saved = read("Options")) {
      try {
        return readSettings(*saved);
      } catch (const FormatError&) {
        // Damaged saved options: fall back to the packaged ones below, which
        // replace them.
      }
    }
  }
  // A damaged packaged record leaves the defaults, and nothing is saved
  // that would outlive the damage.
  if (!packaged) return SettingsRecord();
  try {
    SettingsRecord record = readSettings(*packaged);
    save(record);
    return record;
  } catch (const FormatError&) {
    return SettingsRecord();
  }
}

void SettingsStore::save(const SettingsRecord& record) const { write("Options", writeSettings(record)); }

} // namespace plumex::container
