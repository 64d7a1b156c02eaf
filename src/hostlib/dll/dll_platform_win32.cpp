// Loading libraries with the system's loader; calls go through the
// guarded assembly routine.

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "hostlib/dll/dll_platform.h"
#include "hostlib/dll/native_call_win32.h"
#include "hostlib/dll/param_types.h"

namespace plumex::hostlib::dll {
namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The module's short path: one key however a script names the library.
std::string moduleKey(HMODULE module) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return {};
  char shortPath[MAX_PATH];
  const DWORD m = GetShortPathNameA(path, shortPath, sizeof shortPath);
  return lowerCase(m > 0 && m < sizeof shortPath ? std::string(shortPath, m) : std::string(path, n));
}

class Win32DllPlatform final : public DllPlatform {
public:
  std::optional<Module> load(const std::string& ansiName) override {
    // No "insert the disk" boxes for a probe of a missing library.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const HMODULE module = LoadLibraryA(ansiName.c_str());
    SetErrorMode(previous);
    if (!module) return std::nullopt;
    std::string key = moduleKey(module);
    if (key.empty()) key = lowerCase(ansiName);
    return Module{reinterpret_cast<std::uintptr_t>(module), std::move(key)};
  }

  std::uintptr_t procedure(std::uintptr_t module, const std::string& ansiName) override {
    return reinterpret_cast<std::uintptr_t>(GetProcAddress(reinterpret_cast<HMODULE>(module), ansiName.c_str()));
  }

  void unload(std::uintptr_t module) override { FreeLibrary(reinterpret_cast<HMODULE>(module)); }

  CallOutcome call(std::uintptr_t procedure, std::span<const std::uint32_t> words, std::uint32_t flags,
                   structs::Materialiser&) override {
    NativeCall call{};
    call.procedure = static_cast<std::uint32_t>(procedure);
    call.words = words.data();
    call.wordCount = static_cast<std::uint32_t>(words.size());
    call.readsFloat = (flags & (kFloatResult | kDoubleResult)) != 0;
    invokeNative(call);
    CallOutcome outcome;
    outcome.integer = static_cast<std::uint64_t>(call.edx) << 32 | call.eax;
    outcome.floating = call.floating;
    if (call.faulted) outcome.exception = call.exceptionCode;
    return outcome;
  }
};

} // namespace

std::unique_ptr<DllPlatform> makeSystemDllPlatform() { return std::make_unique<Win32DllPlatform>(); }

} // namespace plumex::hostlib::dll
