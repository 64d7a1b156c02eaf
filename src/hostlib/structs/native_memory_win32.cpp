#include "hostlib/structs/native_memory.h"

#include <windows.h>

#include <cstring>

namespace plumex::hostlib::structs {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Committed pages that allow reading, and are no guard pages (touching one
// would take its guard away from the thread's stack).
bool isReadable(const MEMORY_BASIC_INFORMATION& info) {
  return info.State == MEM_COMMIT && (info.Protect & kReadable) != 0 &&
         (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
}

} // namespace

// Region by region: a range may span several allocations.
std::size_t readableLength(std::uintptr_t address, std::size_t size) {
  std::size_t readable = 0;
  while (readable < size) {
    const std::uintptr_t at = address + readable;
    if (at < address) break;  // past the top of the address space
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info || !isReadable(info))
      break;
    const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= at) break;
    const std::size_t inRegion = regionEnd - at;
    readable += inRegion < size - readable ? inRegion : size - readable;
  }
  return readable;
}

std::optional<std::vector<std::uint8_t>> copyNativeMemory(std::uintptr_t address, std::size_t size) {
  if (readableLength(address, size) != size) return std::nullopt;
  std::vector<std::uint8_t> bytes(size);
  if (size != 0) std::memcpy(bytes.data(), reinterpret_cast<const void*>(address), size);
  return bytes;
}

} // namespace plumex::hostlib::structs
