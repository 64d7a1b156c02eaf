#pragma once
// The version and source commit every tool reports with --version.

#include <string>
#include <string_view>

namespace plumex {

std::string_view projectVersion();
// The commit the build was made from (with "-modified" when the tree had
// changes not committed), or "unknown" for a build outside a git checkout.
std::string_view sourceCommit();

// "TOOL VERSION (commit COMMIT)"
std::string versionLine(std::string_view tool);

} // namespace plumex
