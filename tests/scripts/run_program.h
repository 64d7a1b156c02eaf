#pragma once
// Runs a program as a user's shell would and keeps what it printed.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace plumex::test {

struct Outcome {
  int status = -1;  // the exit status; 124 when the time ran out
  std::string out;
  std::string err;
};

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// A word for the shell, taken literally.
inline std::string shellQuote(const std::string& word) {
  std::string q = "'";
  for (char c : word) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// commandLine is given to the shell as it is; stdout and stderr go to files
// in scratch. A run that hangs is killed after a minute.
inline Outcome runProgram(const std::string& commandLine, const std::filesystem::path& scratch) {
  const std::filesystem::path out = scratch / "stdout", err = scratch / "stderr";
  const std::string command =
      "timeout -k 5 60 " + commandLine + " </dev/null >" + shellQuote(out.string()) + " 2>" +
      shellQuote(err.string());
  Outcome r;
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readFile(out);
  r.err = readFile(err);
  return r;
}

} // namespace plumex::test
