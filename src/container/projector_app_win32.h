#pragma once
// The application object: decides the mode the executable runs in, loads the
// packaged data, creates the windows, and tears everything down at exit.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/records.h"
#include "container/settings_record.h"

namespace plumex::container {

class MainFrame;

// Where later subsystems plug in; each may be left empty.
struct StartupHooks {
  // Runs a compiled script module (install hooks use a fresh engine each).
  std::function<void(const std::vector<std::uint8_t>& module)> runInstallHook;
  // Runs the packaged start-up module; a false completion value ends start-up.
  std::function<std::optional<bool>(const std::vector<std::uint8_t>& module)> runStartupScript;
};

class ProjectorApp {
public:
  ProjectorApp(HINSTANCE instance, StartupHooks hooks);
  ~ProjectorApp();

  // The whole life of the process; returns its exit status.
  int run();

  const std::string& runFolder() const { return runFolder_; }
  const SettingsRecord& settings() const { return settings_; }
  const MovieRecord& movie() const { return movie_; }
  const std::vector<std::string>& maskNames() const { return maskNames_; }
  const std::string& executablePath() const { return exePath_; }

  // Extracts a path of the application archive into the run folder.
  std::string extract(const std::string& archivePath) const;

  // Compiled script modules of type "QUORV", unpacked once and kept.
  const std::vector<std::uint8_t>* scriptResource(const std::string& name);

private:
  bool initInstance();
  int exitInstance();
  bool runInstallHookIfAsked();
  bool loadIdentity();
  void createRunFolder();
  void loadMasks();
  void report(const std::string& message) const;

  HINSTANCE instance_;
  StartupHooks hooks_;
  std::string exePath_;
  std::string appName_;
  std::string appId_;
  std::string registryKey_;
  std::string profile_;
  std::string runFolder_;
  SettingsRecord settings_;
  MovieRecord movie_;
  std::vector<std::string> maskNames_;
  bool installHookMode_ = false;
  bool socketsStarted_ = false;
  HWND ownerWindow_ = nullptr;
  std::unique_ptr<MainFrame> mainFrame_;

  struct CachedScript {
    std::string name;
    std::vector<std::uint8_t> module;
  };
  // 17 chains keyed by the shared name hash of the upper-cased name.
  std::vector<std::vector<CachedScript>> scriptCache_ = std::vector<std::vector<CachedScript>>(17);
};

} // namespace plumex::container
