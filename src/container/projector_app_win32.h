#pragma once
// The application object: decides the mode the executable runs in, loads the
// packaged data, creates the windows, runs the start-up script, keeps the
// message loop with its idle work, and tears everything down at exit.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/application_engine.h"
#include "container/chacha20.h"
#include "container/master_mute_win32.h"
#include "container/records.h"
#include "container/settings_record.h"
#include "hostlib/host_classes.h"

namespace plumex::container {

class CMainFrame;

class ProjectorApp {
public:
  explicit ProjectorApp(HINSTANCE instance);
  ~ProjectorApp();
  ProjectorApp(const ProjectorApp&) = delete;
  ProjectorApp& operator=(const ProjectorApp&) = delete;

  // The whole life of the process; returns its exit status.
  int run();

  HINSTANCE instance() const { return instance_; }
  const std::string& runFolder() const { return runFolder_; }
  SettingsRecord& settings() { return settings_; }
  const MovieRecord& movie() const { return movie_; }
  const std::vector<std::string>& maskNames() const { return maskNames_; }
  const std::string& executablePath() const { return exePath_; }
  CMainFrame* mainFrame() const { return mainFrame_.get(); }

  // Extracts a path of the application archive into the run folder.
  std::string extract(const std::string& archivePath) const;
  // Compiled script modules of type "QUORV", unpacked once and kept.
  const std::vector<std::uint8_t>* scriptResource(const std::string& name);

  // The application's script engine, made on first need.
  ApplicationEngine& engine() { return engine_; }
  // Runs the packaged module of that name in it; nothing without one.
  std::optional<ApplicationEngine::Completion> runPackagedModule(const std::string& name);
  // Ends the engine (at once, or when the running call returns).
  void endEngine() { engine_.quit(); }

  // The movie the window shows, and the key of protected movies.
  const std::string& moviePath() const { return moviePath_; }
  std::optional<CipherKey> movieKey() const;
  // The region of the window that drags it (none: all of it).
  HRGN dragRegion() const { return nullptr; }

  // Commands of the window.
  void reapplyRestrictions();
  void openHelp();
  void openOptions();
  std::optional<std::string> askForMovie(HWND owner);
  void loadMovie(const std::string& location);
  void noteWindowsEnding() { windowsEnding_ = true; }

private:
  bool initInstance();
  int exitInstance();
  int messageLoop();
  bool onIdle();
  bool runInstallHookIfAsked();
  bool loadIdentity();
  void createRunFolder();
  void loadMasks();
  void createOwnerWindow();
  void showMainMovie();
  void report(const std::string& message) const;
  std::unique_ptr<script::Engine> makeEngine(hostlib::HostContext& context) const;

  HINSTANCE instance_;
  std::string exePath_;
  std::string appName_;
  std::string appId_;
  std::string registryKey_;
  std::string profile_;
  std::string runFolder_;
  SettingsRecord settings_;
  MovieRecord movie_;
  std::vector<std::string> maskNames_;
  std::string moviePath_;
  std::string helpFile_;
  bool installHookMode_ = false;
  bool socketsStarted_ = false;
  bool windowsEnding_ = false;
  std::uint32_t restoreMask_ = 0;
  MasterMute mute_;
  HMODULE htmlHelp_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND ownerWindow_ = nullptr;
  std::unique_ptr<CMainFrame> mainFrame_;
  // What the engine's classes reach; declared before the engine, which
  // goes first.
  hostlib::HostContext hostContext_;
  ApplicationEngine engine_;

  struct CachedScript {
    std::string name;
    std::vector<std::uint8_t> module;
  };
  // 17 chains keyed by the shared name hash of the upper-cased name.
  std::vector<std::vector<CachedScript>> scriptCache_ = std::vector<std::vector<CachedScript>>(17);
};

} // namespace plumex::container
