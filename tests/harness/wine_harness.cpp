#include "wine_harness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace plumex::testing {
namespace {

using Clock = std::chrono::steady_clock;

int decodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

struct Spawned {
  pid_t pid;
  int outFd;
  int errFd;
};

// fork+exec in a process group of its own, so a timeout can kill the
// program and everything it started.
Spawned spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              bool capture) {
  if (argv.empty()) throw std::invalid_argument("spawn: empty command");
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if (capture && (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0))
    throw std::runtime_error("spawn: pipe failed");

  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  for (const std::string& add : env) {
    const std::string name = add.substr(0, add.find('=') + 1);
    std::erase_if(envStore, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    envStore.push_back(add);
  }
  std::vector<char*> envp, args;
  for (std::string& s : envStore) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStore = argv;
  for (std::string& s : argStore) args.push_back(s.data());
  args.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("spawn: fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    if (capture) {
      dup2(outPipe[1], STDOUT_FILENO);
      dup2(errPipe[1], STDERR_FILENO);
    } else {
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    const int devnullIn = open("/dev/null", O_RDONLY);
    dup2(devnullIn, STDIN_FILENO);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid);
  if (capture) {
    close(outPipe[1]);
    close(errPipe[1]);
  }
  return {pid, capture ? outPipe[0] : -1, capture ? errPipe[0] : -1};
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::vector<std::string>& env) {
  Spawned p = spawn(argv, env, true);
  ProcessResult r;
  const auto deadline = Clock::now() + timeout;
  pollfd fds[2] = {{p.outFd, POLLIN, 0}, {p.errFd, POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      r.timedOut = true;
      break;
    }
    const int n = poll(fds, 2, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);

  int status = 0;
  if (r.timedOut) {
    ::kill(-p.pid, SIGKILL);
    waitpid(p.pid, &status, 0);
    return r;
  }
  // The pipes can close before the program ends (a child kept them); wait
  // for the program itself within what is left of the deadline.
  for (;;) {
    const pid_t w = waitpid(p.pid, &status, WNOHANG);
    if (w == p.pid) break;
    if (Clock::now() >= deadline) {
      r.timedOut = true;
      ::kill(-p.pid, SIGKILL);
      waitpid(p.pid, &status, 0);
      return r;
    }
    std::this_thread::sleep_for(10ms);
  }
  r.exitCode = decodeStatus(status);
  return r;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& env)
    : pid_(spawn(argv, env, false).pid) {}

BackgroundProcess::~BackgroundProcess() { kill(); }

std::optional<int> BackgroundProcess::wait(std::chrono::milliseconds timeout) {
  if (status_ || pid_ < 0) return status_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = decodeStatus(status);
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(20ms);
  }
}

void BackgroundProcess::kill() {
  if (status_ || pid_ < 0) return;
  ::kill(-pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  status_ = decodeStatus(status);
}

Wine& Wine::instance() {
  static Wine wine;
  return wine;
}

Wine::Wine() {
  if (const char* p = std::getenv("WINEPREFIX"); p && *p) {
    prefix_ = p;
    return;
  }
  char dir[] = "/tmp/plumex-wine-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("cannot make a Wine prefix folder");
  prefix_ = dir;
  ownPrefix_ = true;
  const ProcessResult boot = runProcess({"sh", "-c", "wineboot -i && wineserver -w"}, 120s,
                                        environment());
  if (boot.exitCode != 0) throw std::runtime_error("wineboot failed: " + boot.err);
}

Wine::~Wine() {
  if (!ownPrefix_) return;
  runProcess({"wineserver", "-k"}, 20s, environment());
  std::error_code ignored;
  std::filesystem::remove_all(prefix_, ignored);
}

std::vector<std::string> Wine::environment() const {
  return {"WINEPREFIX=" + prefix_.string(), "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml="};
}

ProcessResult Wine::run(const std::filesystem::path& exe, const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout) const {
  std::vector<std::string> argv = {"wine", exe.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv, timeout, environment());
}

BackgroundProcess Wine::start(const std::filesystem::path& exe,
                              const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {"wine", exe.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return BackgroundProcess(argv, environment());
}

std::optional<std::string> Wine::regQuery(const std::string& key, const std::string& value) const {
  const ProcessResult r = runProcess({"wine", "reg", "query", key, "/v", value}, 60s, environment());
  if (r.exitCode != 0) return std::nullopt;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "    NAME    REG_SZ    DATA"
    const std::size_t type = line.find("    REG_");
    if (type == std::string::npos) continue;
    const std::size_t nameStart = line.find_first_not_of(' ');
    if (line.substr(nameStart, type - nameStart) != value) continue;
    const std::size_t dataStart = line.find("    ", type + 4);
    return dataStart == std::string::npos ? std::string() : line.substr(dataStart + 4);
  }
  return std::nullopt;
}

std::filesystem::path Wine::hostPath(const std::string& windowsPath) const {
  std::string rest = windowsPath;
  if (rest.size() >= 2 && (rest[0] == 'C' || rest[0] == 'c') && rest[1] == ':') rest.erase(0, 2);
  for (char& c : rest)
    if (c == '\\') c = '/';
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return prefix_ / "drive_c" / rest;
}

bool Wine::waitForDesktop(std::chrono::milliseconds timeout) const {
  const auto ms = std::to_string(timeout.count());
  return inspect({"tray", "--timeout", ms}, timeout + 30s).process.exitCode == 0;
}

std::filesystem::path win32BuildDir() {
  const char* dir = std::getenv("PLUMEX_WIN32_DIR");
  if (!dir || !*dir)
    throw std::runtime_error("PLUMEX_WIN32_DIR is not set: run the tests through ctest after "
                             "building the win32 preset");
  return dir;
}

std::string InspectorResult::operator[](const std::string& key) const {
  for (const auto& [k, v] : fields)
    if (k == key) return v;
  return {};
}

std::vector<std::string> InspectorResult::all(const std::string& key) const {
  std::vector<std::string> values;
  for (const auto& [k, v] : fields)
    if (k == key) values.push_back(v);
  return values;
}

InspectorResult inspect(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
  InspectorResult r;
  r.process = Wine::instance().run(win32BuildDir() / "tests/wine/inspector.exe", args, timeout);
  std::istringstream lines(r.process.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    r.fields.emplace_back(line.substr(0, colon), line.substr(colon + 2));
  }
  return r;
}

} // namespace plumex::testing
