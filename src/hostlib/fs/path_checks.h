#pragma once
// Paths the file classes refuse before the system sees them: longer than
// the system's 259 characters (fixed buffers elsewhere would overflow),
// holding a wildcard (the system would match other files), or naming a
// device such as CON or COM1 (the system would open the device).

#include <cstddef>
#include <string_view>

namespace plumex::hostlib::fs {

inline constexpr std::size_t kMaxPathLength = 259;

bool isUsablePath(std::string_view path);

} // namespace plumex::hostlib::fs
