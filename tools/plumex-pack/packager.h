#pragma once
// Turns a manifest into a packaged executable: the runtime with the
// application's resources added and its archive appended.

#include <filesystem>
#include <ostream>

#include "manifest.h"

namespace plumex::pack {

struct PackOptions {
  std::filesystem::path runtime;
  std::filesystem::path output;
  std::ostream* progress = nullptr; // null: quiet
};

// Throws ManifestError or std::runtime_error naming the file at fault; the
// output is written whole or not at all.
void pack(const Manifest& manifest, const PackOptions& options);

} // namespace plumex::pack
