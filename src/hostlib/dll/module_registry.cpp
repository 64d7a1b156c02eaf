#include "hostlib/dll/module_registry.h"

namespace plumex::hostlib::dll {

ModuleLease& ModuleLease::operator=(ModuleLease&& o) noexcept {
  if (this != &o) {
    release();
    registry_ = o.registry_;
    key_ = std::move(o.key_);
    o.registry_ = nullptr;
  }
  return *this;
}

void ModuleLease::release() {
  if (registry_) registry_->release(key_);
  registry_ = nullptr;
}

ModuleRegistry::ModuleRegistry(std::unique_ptr<DllPlatform> platform) : platform_(std::move(platform)) {}

// Functions outliving the registry cannot happen (engines end first); any
// module still loaded stays loaded until the process ends.
ModuleRegistry::~ModuleRegistry() = default;

std::variant<ResolvedFunction, LoadFailure> ModuleRegistry::resolve(const std::string& dllName,
                                                                  const std::string& procName) {
  const auto module = platform_->load(dllName);
  if (!module) return LoadFailure::DllNotFound;
  const std::uintptr_t procedure = platform_->procedure(module->handle, procName);
  if (procedure == 0) {
    platform_->unload(module->handle);
    return LoadFailure::FunctionNotFound;
  }
  const auto [it, added] = modules_.try_emplace(module->key, Record{module->handle, 0});
  // Loaded before: the system counted this load too; give it back.
  if (!added) platform_->unload(module->handle);
  ++it->second.shares;
  return ResolvedFunction{ModuleLease(*this, module->key), procedure};
}

int ModuleRegistry::shareCount(const std::string& key) const {
  const auto it = modules_.find(key);
  return it == modules_.end() ? 0 : it->second.shares;
}

void ModuleRegistry::release(const std::string& key) {
  const auto it = modules_.find(key);
  if (it == modules_.end() || --it->second.shares > 0) return;
  platform_->unload(it->second.handle);
  modules_.erase(it);
}

} // namespace plumex::hostlib::dll
