#include "hostlib/structs/native_memory.h"

namespace plumex::hostlib::structs {

std::size_t readableLength(std::uintptr_t, std::size_t) { return 0; }

std::optional<std::vector<std::uint8_t>> copyNativeMemory(std::uintptr_t, std::size_t) { return std::nullopt; }

} // namespace plumex::hostlib::structs
