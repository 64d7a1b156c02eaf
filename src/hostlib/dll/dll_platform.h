#pragma once
// What the DLL classes need of the system: loading libraries, finding
// their functions and calling one with argument words. Only the Windows
// build has it; elsewhere no library loads, so scripts that probe for a
// DLL get the same failure values as where it is missing.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace plumex::hostlib::structs {
class Materialiser;
}

namespace plumex::hostlib::dll {

// What a call left behind.
struct CallOutcome {
  // The 64-bit integer result (EAX low, EDX high).
  std::uint64_t integer = 0;
  // The floating-point result, for calls with a float or double result.
  double floating = 0;
  // Set when the callee raised an exception it did not handle: its code.
  std::optional<std::uint32_t> exception;
};

class DllPlatform {
public:
  struct Module {
    std::uintptr_t handle = 0;
    // The module's short path in lower case: one record per module,
    // however scripts name it.
    std::string key;
  };

  virtual ~DllPlatform() = default;
  // Nothing when the library cannot be loaded.
  virtual std::optional<Module> load(const std::string& ansiName) = 0;
  // 0 when the module exports no such name.
  virtual std::uintptr_t procedure(std::uintptr_t module, const std::string& ansiName) = 0;
  virtual void unload(std::uintptr_t module) = 0;
  // Calls the procedure with the words pushed so that words[0] is at the
  // lowest address; the words' addresses point into `memory`. The stack
  // pointer is restored whatever the callee removed.
  virtual CallOutcome call(std::uintptr_t procedure, std::span<const std::uint32_t> words, std::uint32_t flags,
                           structs::Materialiser& memory) = 0;
};

// The system's: Win32 in the Windows build, else one that loads nothing.
std::unique_ptr<DllPlatform> makeSystemDllPlatform();

} // namespace plumex::hostlib::dll
