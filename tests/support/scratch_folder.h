#pragma once
// A fresh folder per test, named after it, removed at the end; paths in
// it as files and as script string literals.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace plumex::test {

class ScratchFolder {
public:
  // Made for the running test; false when it could not be.
  bool make(std::string_view prefix) {
    // Parameterised tests have "/" in their names.
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '-');
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = (std::filesystem::path(::testing::TempDir()) /
            (std::string(prefix) + "-" + test + "-" + std::to_string(stamp)))
               .string() +
           kPathSeparator;
    return makeDirectory(dir_);
  }
  void remove() const { removeTree(dir_); }

  // With its trailing separator.
  const std::string& dir() const { return dir_; }
  std::string path(std::string_view name) const { return dir_ + std::string(name); }
  std::string literal(std::string_view name) const {
    std::string out = "\"";
    for (char c : path(name)) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  std::string read(std::string_view name) const {
    std::ifstream f(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  void write(std::string_view name, std::string_view bytes) const {
    std::ofstream f(path(name), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

private:
  std::string dir_;
};

} // namespace plumex::test
