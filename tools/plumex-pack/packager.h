#pragma once
// Turns a manifest into a packaged executable: the runtime with the
// application's resources added and its archive appended.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include "manifest.h"

namespace plumex::pack {

struct PackOptions {
  std::filesystem::path runtime;
  std::filesystem::path output;
  std::ostream* progress = nullptr; // null: quiet
  // The PE time stamp (SOURCE_DATE_EPOCH); none: derived from the package.
  std::optional<std::uint32_t> timeStamp;
};

// Throws ManifestError or std::runtime_error naming the file at fault; the
// output is written whole or not at all.
void pack(const Manifest& manifest, const PackOptions& options);

} // namespace plumex::pack
