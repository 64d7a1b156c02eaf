#pragma once
// A project folder of its own for each packager test: a fabricated runtime,
// a movie and a text file, and packing a manifest written on the spot.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "fake_pe_image.h"
#include "manifest.h"
#include "packager.h"

namespace plumex::pack {

inline void writeFile(const std::filesystem::path& p, const std::string& text) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

inline plumex::testing::Bytes readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return plumex::testing::Bytes((std::istreambuf_iterator<char>(in)), {});
}

class PackagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("plumex-pack-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    plumex::testing::ImageSpec spec;
    spec.sections = {{".text", 0x1000, plumex::testing::Bytes(0x300, 0xC3)},
                     {".data", 0x2000, plumex::testing::Bytes(0x40, 1)}};
    spec.overlay = plumex::testing::bytesOf("symbol table of an unstripped build");
    const plumex::testing::Bytes runtime = plumex::testing::makeImage(spec);
    std::ofstream(dir_ / "runtime.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(runtime.data()), static_cast<std::streamsize>(runtime.size()));
    writeFile(dir_ / "movies/main.swf", "FWS movie bytes");
    writeFile(dir_ / "notes.txt", "notes");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Packs the manifest `manifest` (relative to the test's folder) into
  // `output`, and returns the error text, or "" on success.
  std::string packManifest(const std::filesystem::path& manifest, const std::filesystem::path& output,
                           std::optional<std::uint32_t> timeStamp = std::nullopt) {
    try {
      const Manifest m = readManifest(dir_ / manifest);
      pack(m, {dir_ / "runtime.exe", dir_ / output, nullptr, timeStamp});
      return {};
    } catch (const std::exception& e) {
      return e.what();
    }
  }

  // Writes `json` as app.json and packs it into out.exe.
  std::string packJson(const std::string& json) {
    writeFile(dir_ / "app.json", json);
    return packManifest("app.json", "out.exe");
  }

  std::filesystem::path dir_;
};

} // namespace plumex::pack
