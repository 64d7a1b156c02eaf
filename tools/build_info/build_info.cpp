#include "build_info.h"

#include "build_info_values.h"

namespace plumex {

std::string_view projectVersion() { return PLUMEX_VERSION; }
std::string_view sourceCommit() { return PLUMEX_COMMIT; }

std::string versionLine(std::string_view tool) {
  return std::string(tool) + " " + std::string(projectVersion()) + " (commit " +
         std::string(sourceCommit()) + ")";
}

} // namespace plumex
