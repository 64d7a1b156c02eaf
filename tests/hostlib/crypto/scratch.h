#pragma once
// What the crypto tests share: bytes from hex, and a folder of their own
// for files, removed afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace plumex::hostlib::crypto::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes fromHex(std::string_view hex) {
  Bytes out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return out;
}

inline std::string hexOf(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

inline Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline void writeBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder for each test.
class ScratchTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string base = ::testing::TempDir();
    if (base.empty() || (base.back() != '/' && base.back() != '\\')) base += kPathSeparator;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = base + "plumex-crypto-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
           std::to_string(stamp) + kPathSeparator;
    ASSERT_TRUE(makeDirectory(dir_));
  }
  void TearDown() override { removeTree(dir_); }

  std::string path(std::string_view name) const { return dir_ + std::string(name); }
  // The names in the folder, to see that nothing was left behind.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

} // namespace plumex::hostlib::crypto::testing
