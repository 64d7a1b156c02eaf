#pragma once
// What end-to-end tests share: running programs (natively or under Wine)
// with a timeout, the Wine prefix of the run, its registry and its files,
// and the inspector that looks at windows from outside.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace plumex::testing {

using namespace std::chrono_literals;

struct ProcessResult {
  int exitCode = -1;     // the program's status, or -1 when it did not exit
  bool timedOut = false; // killed at the deadline
  std::string out;
  std::string err;
};

// Runs argv[0] (searched on PATH) with extra "NAME=value" environment
// entries, and kills its process group at the deadline.
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::vector<std::string>& env = {});

// A program left running while the test works; killed when destroyed.
class BackgroundProcess {
public:
  BackgroundProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // The exit status once it ends within the timeout, otherwise nullopt.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  void kill();

private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The Wine prefix of this test run: $WINEPREFIX when the test script made
// one, otherwise a prefix booted for this test program and removed at exit.
class Wine {
public:
  static Wine& instance();

  const std::filesystem::path& prefix() const { return prefix_; }
  std::vector<std::string> environment() const;

  ProcessResult run(const std::filesystem::path& exe, const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout = 60s) const;
  BackgroundProcess start(const std::filesystem::path& exe,
                          const std::vector<std::string>& args) const;

  // Data of a registry value as `reg query` prints it, or nullopt.
  std::optional<std::string> regQuery(const std::string& key, const std::string& value) const;

  // The host path of a Windows path on drive C: of the prefix.
  std::filesystem::path hostPath(const std::string& windowsPath) const;

  // Wine starts its desktop process (and the tray) lazily; tests that need
  // it wait here.
  bool waitForDesktop(std::chrono::milliseconds timeout) const;

private:
  Wine();
  ~Wine();
  std::filesystem::path prefix_;
  bool ownPrefix_ = false;
};

// Where the win32 build put its programs ($PLUMEX_WIN32_DIR).
std::filesystem::path win32BuildDir();

// Runs the inspector under Wine and returns its "key: value" lines.
struct InspectorResult {
  ProcessResult process;
  std::vector<std::pair<std::string, std::string>> fields;
  // The first value of a key, or "" when absent.
  std::string operator[](const std::string& key) const;
  std::vector<std::string> all(const std::string& key) const;
};
InspectorResult inspect(const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout = 60s);

} // namespace plumex::testing
