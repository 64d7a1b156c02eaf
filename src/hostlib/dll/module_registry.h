#pragma once
// The libraries registered functions come from: one record per module
// (by its short lower-case path), loaded once and unloaded when the last
// function using it goes.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "hostlib/dll/dll_platform.h"

namespace plumex::hostlib::dll {

class ModuleRegistry;

// A registered function's hold on its module; released on destruction.
class ModuleLease {
public:
  ModuleLease() = default;
  ModuleLease(ModuleRegistry& registry, std::string key) : registry_(&registry), key_(std::move(key)) {}
  ~ModuleLease() { release(); }
  ModuleLease(ModuleLease&& o) noexcept : registry_(o.registry_), key_(std::move(o.key_)) { o.registry_ = nullptr; }
  ModuleLease& operator=(ModuleLease&& o) noexcept;
  ModuleLease(const ModuleLease&) = delete;
  ModuleLease& operator=(const ModuleLease&) = delete;

  const std::string& key() const { return key_; }

private:
  void release();

  ModuleRegistry* registry_ = nullptr;
  std::string key_;
};

enum class LoadFailure { DllNotFound, FunctionNotFound };

struct ResolvedFunction {
  ModuleLease module;
  std::uintptr_t procedure = 0;
};

class ModuleRegistry {
public:
  explicit ModuleRegistry(std::unique_ptr<DllPlatform> platform = makeSystemDllPlatform());
  ~ModuleRegistry();
  ModuleRegistry(const ModuleRegistry&) = delete;
  ModuleRegistry& operator=(const ModuleRegistry&) = delete;

  // Loads the library and finds the function; a library loaded only for
  // a function it lacks is released again.
  std::variant<ResolvedFunction, LoadFailure> resolve(const std::string& dllName, const std::string& procName);

  DllPlatform& platform() { return *platform_; }
  // The functions holding the module of that key; 0 when not loaded.
  int shareCount(const std::string& key) const;

private:
  friend class ModuleLease;
  void release(const std::string& key);

  struct Record {
    std::uintptr_t handle;
    int shares;
  };
  std::unique_ptr<DllPlatform> platform_;
  std::map<std::string, Record> modules_;
};

} // namespace plumex::hostlib::dll
