#pragma once
// A peer server program for a test: started with a pipe on its stdin (it
// serves until that closes) and its first line of stdout read as what it
// tells (its ports). Stopped and waited for, within bounds, when it goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace plumex::test {

class PeerProcess {
public:
  // Nothing read (line() empty) when it did not start or said nothing
  // within the time.
  explicit PeerProcess(std::vector<std::string> argv, std::chrono::seconds wait = std::chrono::seconds(60)) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
      close(in[0]);
      close(in[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    readLine(out[0], wait);
    close(out[0]);
  }

  ~PeerProcess() {
    if (stdin_ >= 0) close(stdin_);
    if (pid_ <= 0) return;
    // It ends when its stdin closes; past ten seconds it is made to.
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  const std::string& line() const { return line_; }

private:
  void readLine(int fd, std::chrono::seconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char c;
      if (read(fd, &c, 1) != 1) return;
      if (c == '\n') return;
      line_ += c;
    }
    line_.clear();
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  std::string line_;
};

} // namespace plumex::test
