#pragma once
// Writing a whole file safely: under a name of its own beside the target,
// put in the target's place only once complete, so that a failure half-way
// leaves the target as it was.

#include <cstdint>
#include <span>
#include <string>

namespace plumex::hostlib::streams {

bool replaceFile(const std::string& target, std::span<const std::uint8_t> bytes);

} // namespace plumex::hostlib::streams
