// Native builds make no DLL calls: nothing loads, so nothing is called.
#include "hostlib/dll/dll_platform.h"

namespace plumex::hostlib::dll {
namespace {

class NoDllPlatform final : public DllPlatform {
public:
  std::optional<Module> load(const std::string&) override { return std::nullopt; }
  std::uintptr_t procedure(std::uintptr_t, const std::string&) override { return 0; }
  void unload(std::uintptr_t) override {}
  CallOutcome call(std::uintptr_t, std::span<const std::uint32_t>, std::uint32_t, structs::Materialiser&) override {
    return {};
  }
};

} // namespace

std::unique_ptr<DllPlatform> makeSystemDllPlatform() { return std::make_unique<NoDllPlatform>(); }

} // namespace plumex::hostlib::dll
