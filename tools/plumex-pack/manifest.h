#pragma once
// The project manifest that plumex-pack reads (JSON; see docs/manifest.md).

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "container/records.h"
#include "container/settings_record.h"

namespace plumex::pack {

// Names the manifest file and the field at fault.
class ManifestError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct FileItem {
  std::filesystem::path source;   // a file or a folder, absolute
  std::string target;             // archive path, "/" separated; "" for the root
  std::optional<bool> encipher;   // default: movies only
};

struct MaskItem {
  std::string name;
  std::optional<std::filesystem::path> file;
};

struct Manifest {
  std::filesystem::path file;
  std::optional<std::filesystem::path> runtime;
  std::optional<std::filesystem::path> output;
  std::string registryKey;
  std::optional<std::string> profile;
  std::optional<container::Guid> appId;
  // Texts are UTF-8 here; the writers encode them as UTF-16.
  container::SettingsRecord settings;
  std::string mainMovie;
  std::uint32_t movieKind = 0;
  bool protectMovies = true;
  std::vector<FileItem> files;
  std::vector<MaskItem> masks;
  std::optional<std::filesystem::path> aboutBitmap;
  std::optional<std::string> flashPlayerInstaller;
  std::map<std::string, std::filesystem::path> scripts;
  std::map<std::string, std::filesystem::path> menus;
};

Manifest readManifest(const std::filesystem::path& file);

std::optional<container::Guid> parseGuid(const std::string& text);

} // namespace plumex::pack
