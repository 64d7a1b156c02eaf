#pragma once
// Reading native memory at an address a script gives, guarded: a bad
// address gives nothing instead of ending the process. Only the Windows
// build reads; elsewhere no address is readable, since scripts there have
// no native memory of their own to point at.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace plumex::hostlib::structs {

// How many of the `size` bytes from `address` on can be read: those
// before the first byte that cannot.
std::size_t readableLength(std::uintptr_t address, std::size_t size);

// A copy of `size` bytes at `address`; nothing unless every one of them
// is readable.
std::optional<std::vector<std::uint8_t>> copyNativeMemory(std::uintptr_t address, std::size_t size);

} // namespace plumex::hostlib::structs
