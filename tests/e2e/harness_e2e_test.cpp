// The chain the end-to-end tests stand on: a win32 GUI program runs under
// Wine and Xvfb, and the inspector reads and drives it from outside.

#include "wine_harness.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>

namespace plumex::testing {
namespace {

std::filesystem::path smokeWindow() { return win32BuildDir() / "tests/wine/smoke_window.exe"; }

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

// Reads the screenshots the inspector writes (8-bit RGB, filter 0).
Image readPng(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), {});
  Image img;
  std::vector<std::uint8_t> idat;
  if (b.size() < 8 || b[1] != 'P' || b[2] != 'N' || b[3] != 'G') return img;
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::uint32_t len = be32(b, at);
    const std::string type(b.begin() + at + 4, b.begin() + at + 8);
    if (at + 12 + len > b.size()) return {};
    if (type == "IHDR") {
      img.width = static_cast<int>(be32(b, at + 8));
      img.height = static_cast<int>(be32(b, at + 12));
    } else if (type == "IDAT") {
      idat.insert(idat.end(), b.begin() + at + 8, b.begin() + at + 8 + len);
    }
    at += 12 + len;
  }
  const std::size_t row = static_cast<std::size_t>(img.width) * 3 + 1;
  std::vector<std::uint8_t> raw(row * static_cast<std::size_t>(img.height));
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, idat.data(), idat.size()) != Z_OK || size != raw.size())
    return {};
  for (int y = 0; y < img.height; ++y)
    img.rgb.insert(img.rgb.end(), raw.begin() + y * row + 1, raw.begin() + (y + 1) * row);
  return img;
}

TEST(Harness, RunsNativeProgramsWithTimeout) {
  const ProcessResult ok = runProcess({"sh", "-c", "echo out; echo err >&2; exit 4"}, 10s);
  EXPECT_EQ(ok.exitCode, 4);
  EXPECT_EQ(ok.out, "out\n");
  EXPECT_EQ(ok.err, "err\n");
  EXPECT_FALSE(ok.timedOut);

  const auto start = std::chrono::steady_clock::now();
  const ProcessResult slow = runProcess({"sh", "-c", "sleep 30 & sleep 30"}, 300ms);
  EXPECT_TRUE(slow.timedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(Harness, InspectorReadsAndDrivesAWindow) {
  Wine& wine = Wine::instance();
  BackgroundProcess app = wine.start(smokeWindow(), {});

  const InspectorResult info = inspect({"info", "--class", "PlumexSmoke", "--timeout", "30000"});
  ASSERT_EQ(info.process.exitCode, 0) << info.process.err;
  EXPECT_EQ(info["class"], "PlumexSmoke");
  EXPECT_EQ(info["title"], "Plumex smoke");
  const unsigned long style = std::stoul(info["style"], nullptr, 16);
  EXPECT_EQ(style & 0x80C80000ul, 0x80C80000ul); // WS_POPUP | WS_CAPTION | WS_SYSMENU
  const unsigned long exStyle = std::stoul(info["exstyle"], nullptr, 16);
  EXPECT_TRUE(exStyle & 0x80ul); // WS_EX_TOOLWINDOW
  EXPECT_EQ(info["rect"], "100 80 420 320");
  EXPECT_EQ(info["owner"], "0x0");
  EXPECT_EQ(info["region"], "1 rects");
  EXPECT_EQ(info["region-rect"], "0 0 300 200");

  const InspectorResult call = inspect(
      {"copydata", "--class", "PlumexSmoke", "--call", "greet", "--arg", "caf\xC3\xA9", "--arg", "2"});
  ASSERT_EQ(call.process.exitCode, 0) << call.process.err;
  EXPECT_EQ(call["reply"], "greet(caf\xC3\xA9,2)");
  EXPECT_EQ(call["result"], "13"); // bytes of the ANSI reply

  const std::filesystem::path shot = std::filesystem::path(::testing::TempDir()) / "smoke.png";
  const InspectorResult saved =
      inspect({"screenshot", "--class", "PlumexSmoke", "--out", "Z:" + shot.string()});
  ASSERT_EQ(saved.process.exitCode, 0) << saved.process.err;
  const Image img = readPng(shot);
  ASSERT_EQ(img.width, 320);
  ASSERT_EQ(img.height, 240);
  // A pixel of the painted client area, inside the region.
  const std::size_t at = (static_cast<std::size_t>(150) * 320 + 40) * 3;
  EXPECT_NEAR(img.rgb[at], 0x20, 8);
  EXPECT_NEAR(img.rgb[at + 1], 0x60, 8);
  EXPECT_NEAR(img.rgb[at + 2], 0xC0, 8);

  const InspectorResult closed = inspect({"post", "--class", "PlumexSmoke", "--msg", "16"});
  ASSERT_EQ(closed.process.exitCode, 0) << closed.process.err;
  EXPECT_EQ(app.wait(30s), 3);

  // A GUI program has run, so Wine's desktop and its tray exist.
  EXPECT_TRUE(wine.waitForDesktop(30s));
}

TEST(Harness, InspectorAnswersAMessageBox) {
  BackgroundProcess app = Wine::instance().start(smokeWindow(), {"--msgbox"});
  const InspectorResult box =
      inspect({"msgbox", "--title", "Smoke caption", "--press", "Cancel", "--timeout", "30000"});
  ASSERT_EQ(box.process.exitCode, 0) << box.process.err;
  EXPECT_EQ(box["caption"], "Smoke caption");
  EXPECT_EQ(box["text"], "Hello from the smoke test");
  EXPECT_EQ(box.all("button").size(), 2u);
  EXPECT_EQ(box["pressed"], "Cancel");
  EXPECT_EQ(app.wait(30s), 2); // IDCANCEL
}

TEST(Harness, InspectorFailsCleanlyWithoutTheWindow) {
  const InspectorResult none = inspect({"info", "--class", "NoSuchClass", "--timeout", "200"});
  EXPECT_EQ(none.process.exitCode, 1);
  const InspectorResult bad = inspect({"frobnicate"});
  EXPECT_EQ(bad.process.exitCode, 2);
}

TEST(Harness, RegistryAndPrefixFiles) {
  const Wine& wine = Wine::instance();
  const std::vector<std::string> env = wine.environment();
  ASSERT_EQ(runProcess({"wine", "reg", "add", "HKCU\\Software\\PlumexHarness", "/v", "Greeting",
                        "/d", "hello there", "/f"},
                       60s, env)
                .exitCode,
            0);
  EXPECT_EQ(wine.regQuery("HKCU\\Software\\PlumexHarness", "Greeting"), "hello there");
  EXPECT_EQ(wine.regQuery("HKCU\\Software\\PlumexHarness", "Missing"), std::nullopt);

  const ProcessResult made = runProcess(
      {"wine", "cmd", "/c", "echo written>C:\\plumex-harness.txt"}, 60s, env);
  ASSERT_EQ(made.exitCode, 0) << made.err;
  std::ifstream in(wine.hostPath("C:\\plumex-harness.txt"));
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text.substr(0, 7), "written");
}

} // namespace
} // namespace plumex::testing
