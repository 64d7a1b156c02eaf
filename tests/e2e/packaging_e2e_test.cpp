// A packaged application, built by plumex-pack from a manifest, read back and
// started under Wine.

#include "wine_harness.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <unistd.h>

#include "container/packed_block.h"
#include "container/pe/pe_resources.h"
#include "container/protected_file.h"
#include "container/records.h"
#include "container/settings_record.h"

namespace plumex::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void writeBytes(const fs::path& p, const Bytes& b) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                           static_cast<std::streamsize>(b.size()));
}

void writeText(const fs::path& p, const std::string& s) { writeBytes(p, Bytes(s.begin(), s.end())); }

Bytes randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(gen() % 16); // compressible, not trivial
  return b;
}

std::string windowsPath(const fs::path& p) {
  std::string s = "Z:" + p.string();
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

fs::path runtimeExe() { return win32BuildDir() / "src/container/plumex.exe"; }
fs::path probeExe() { return win32BuildDir() / "tests/wine/package_probe.exe"; }

std::map<std::string, std::vector<std::string>> fields(const std::string& out) {
  std::map<std::string, std::vector<std::string>> f;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) f[line.substr(0, colon)].push_back(line.substr(colon + 2));
  }
  return f;
}

class PackagedApp : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    root_ = fs::path(::testing::TempDir()) / ("plumex-e2e-" + std::to_string(getpid()));
    fs::remove_all(root_);
    const fs::path project = root_ / "project";
    intro_ = randomBytes(200000, 1);
    intro_[0] = 'F', intro_[1] = 'W', intro_[2] = 'S';
    writeBytes(project / "movies/intro.swf", intro_);
    writeBytes(project / "movies/more/clip.swf", randomBytes(5000, 2));
    writeText(project / "docs/readme.txt", "plain text stays plain\n");
    writeBytes(project / "logo.msk", randomBytes(64, 3));
    writeBytes(project / "about.bmp", randomBytes(300, 4));
    // A module with an empty section directory, then bytes no reader looks at.
    Bytes module = {'Q', 'S', '1', 'b', 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes rest = randomBytes(96, 5);
    module.insert(module.end(), rest.begin(), rest.end());
    writeBytes(project / "after.qsc", module);
    writeBytes(project / "main.menu", randomBytes(40, 6));
    app_ = root_ / "app.exe";
    ProcessResult r = pack("Packaged caption", app_);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const ProcessResult temp = runProcess({"wine", "cmd", "/c", "echo %TEMP%"}, 60s,
                                          Wine::instance().environment());
    std::string t = temp.out;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
    tempDir_ = Wine::instance().hostPath(t);
  }

  static void TearDownTestSuite() { fs::remove_all(root_); }

  static ProcessResult pack(const std::string& caption, const fs::path& out) {
    const fs::path project = root_ / "project";
    writeText(project / "app.json", R"({
      "identity": { "registryKey": "Plumex Tests", "profile": "Packaged\\V2" },
      "settings": {
        "version": { "productName": "Packaged" },
        "appearance": { "caption": ")" + caption + R"(", "borderStyle": 16 },
        "behaviour": { "bAutoPlay": true }
      },
      "movie": { "main": "movies/intro.swf" },
      "files": [
        { "source": "movies", "target": "movies" },
        { "source": "docs/readme.txt", "target": "docs/readme.txt" }
      ],
      "masks": [ { "name": "logo", "file": "logo.msk" }, { "name": "outline" } ],
      "aboutBitmap": "about.bmp",
      "flashPlayer": "movies/more/clip.swf",
      "scripts": { "AfterInstall": "after.qsc" },
      "menus": { "MAIN": "main.menu" }
    })");
    return runProcess({PLUMEX_PACK, "--quiet", "--runtime", runtimeExe().string(),
                       "-o", out.string(), (project / "app.json").string()},
                      120s);
  }

  static Bytes packagedResource(const fs::path& exe, const std::u16string& name) {
    for (const container::Resource& r : container::readResources(readBytes(exe)))
      if (!r.type.isNumber() && r.type.text() == u"PLUMEX" && !r.name.isNumber() &&
          r.name.text() == name)
        return r.data;
    return {};
  }

  static std::vector<fs::path> runFolders() {
    std::vector<fs::path> found;
    if (!fs::exists(tempDir_)) return found;
    for (const auto& e : fs::directory_iterator(tempDir_)) {
      const std::string n = e.path().filename().string();
      if (e.is_directory() && n.size() == 38 && n.front() == '{' && n.back() == '}')
        found.push_back(e.path());
    }
    return found;
  }

  static ProcessResult probeExtract(const fs::path& exe, const fs::path& runFolder,
                                    const std::vector<std::string>& paths) {
    std::vector<std::string> args = {"extract", windowsPath(exe), windowsPath(runFolder) + "\\"};
    args.insert(args.end(), paths.begin(), paths.end());
    return Wine::instance().run(probeExe(), args);
  }

  static std::string registryKey() { return "HKCU\\Software\\Plumex Tests\\Packaged\\V2\\Settings"; }

  static inline fs::path root_, app_, tempDir_;
  static inline Bytes intro_;
};

TEST_F(PackagedApp, EveryResourceReadsBackThroughTheLoader) {
  const ProcessResult r = Wine::instance().run(probeExe(), {"resources", windowsPath(app_)});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto f = fields(r.out);
  std::vector<std::string> names;
  for (const std::string& line : f.at("resource")) names.push_back(line.substr(0, line.find(' ')));
  std::sort(names.begin(), names.end());
  const std::vector<std::string> expected = {"MENUS/MAIN",  "PLUMEX/BK", "PLUMEX/CS",
                                             "PLUMEX/FP",   "PLUMEX/ID", "PLUMEX/ML",
                                             "PLUMEX/RG",   "PLUMEX/ST", "QUORV/AFTERINSTALL"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(f.count("error"), 0u) << r.out;
  EXPECT_EQ(f.at("caption")[0], "Packaged caption");
  EXPECT_EQ(f.at("product")[0], "Packaged");
  EXPECT_EQ(f.at("main-movie")[0], "movies/intro.swf");
  EXPECT_EQ(f.at("protected")[0], "1");
  EXPECT_EQ(f.at("registry-key")[0], "Plumex Tests");
  EXPECT_EQ(f.at("profile")[0], "Packaged\\V2");
  EXPECT_EQ(f.at("mask"), (std::vector<std::string>{"logo 64", "outline 0"}));
  EXPECT_EQ(f.at("flash-player")[0], "movies/more/clip.swf");
  EXPECT_TRUE(std::count(f.at("unpacked").begin(), f.at("unpacked").end(), "QUORV/AFTERINSTALL 104"));
}

TEST_F(PackagedApp, ScriptModulesAreUnpackedOnceByName) {
  const ProcessResult r = Wine::instance().run(
      probeExe(), {"scripts", windowsPath(app_), "AfterInstall", "afterinstall", "Initialize"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fields(r.out).at("script"),
            (std::vector<std::string>{"AfterInstall 104 cached", "afterinstall 104 cached",
                                      "Initialize absent"}));
}

TEST_F(PackagedApp, ExtractsArchivePaths) {
  const fs::path run = root_ / "run1";
  fs::create_directories(run);
  const ProcessResult r = probeExtract(app_, run,
      {"movies/intro.swf", "movies\\intro.swf", "\\movies\\\\intro.swf", "docs/readme.txt",
       "docs/intro.swf", "../docs/readme.txt", "nothing.txt"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = fields(r.out).at("extract");
  ASSERT_EQ(lines.size(), 7u);
  const std::string expected = windowsPath(run) + "\\_extra\\movies\\intro.swf";
  EXPECT_EQ(lines[0], "movies/intro.swf -> " + expected);
  EXPECT_EQ(lines[1], "movies\\intro.swf -> " + expected);
  EXPECT_EQ(lines[2], "\\movies\\\\intro.swf -> " + expected);
  EXPECT_EQ(lines[3], "docs/readme.txt -> " + windowsPath(run) + "\\_extra\\docs\\readme.txt");
  EXPECT_EQ(lines[4], "docs/intro.swf -> ");     // in the root's movies, not in docs
  EXPECT_EQ(lines[5], "../docs/readme.txt -> "); // never outside the run folder
  EXPECT_EQ(lines[6], "nothing.txt -> ");

  // The movie is stored enciphered and reads back through the key of the
  // movie record; the help text stays plain.
  const Bytes stored = readBytes(run / "_extra/movies/intro.swf");
  ASSERT_TRUE(container::startsWithProtectedMarker(stored));
  const auto movie = container::readMovieRecord(container::unpackBlock(packagedResource(app_, u"ML")));
  const auto key = container::keyFromProtectionField(movie.protection);
  ASSERT_TRUE(key);
  const auto reader = container::ProtectedReader::open(*key, stored);
  ASSERT_TRUE(reader);
  Bytes plain(reader->size());
  ASSERT_EQ(reader->read(0, plain), intro_.size());
  EXPECT_EQ(plain, intro_);
  const Bytes readme = readBytes(run / "_extra/docs/readme.txt");
  EXPECT_EQ(std::string(readme.begin(), readme.end()), "plain text stays plain\n");

  // A second request serves the file on disk without inflating it again.
  writeText(run / "_extra/docs/readme.txt", "changed on disk");
  const ProcessResult again = probeExtract(app_, run, {"docs/readme.txt"});
  EXPECT_EQ(fields(again.out).at("extract")[0],
            "docs/readme.txt -> " + windowsPath(run) + "\\_extra\\docs\\readme.txt");
  const Bytes kept = readBytes(run / "_extra/docs/readme.txt");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "changed on disk");
}

TEST_F(PackagedApp, EmptyPathExtractsTheWholeArchive) {
  const fs::path run = root_ / "run2";
  fs::create_directories(run);
  const ProcessResult r = probeExtract(app_, run, {""});
  EXPECT_EQ(fields(r.out).at("extract")[0], " -> " + windowsPath(run) + "\\_extra\\");
  EXPECT_TRUE(fs::is_regular_file(run / "_extra/movies/intro.swf"));
  EXPECT_TRUE(fs::is_regular_file(run / "_extra/movies/more/clip.swf"));
  EXPECT_TRUE(fs::is_regular_file(run / "_extra/docs/readme.txt"));
}

TEST_F(PackagedApp, CrcMismatchLeavesNoFile) {
  // Damage the stored CRC-32 of the readme entry in a copy of the package.
  Bytes exe = readBytes(app_);
  const std::string text = "plain text stays plain\n";
  const auto crc = static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  const std::uint8_t le[4] = {static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8),
                              static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 24)};
  auto at = std::search(exe.begin(), exe.end(), std::begin(le), std::end(le));
  ASSERT_NE(at, exe.end());
  *at ^= 0xFF;
  const fs::path damaged = root_ / "damaged.exe";
  writeBytes(damaged, exe);

  const fs::path run = root_ / "run3";
  fs::create_directories(run);
  const ProcessResult r = probeExtract(damaged, run, {"docs/readme.txt", "movies/intro.swf"});
  const auto lines = fields(r.out).at("extract");
  EXPECT_EQ(lines[0], "docs/readme.txt -> ");
  EXPECT_FALSE(fs::exists(run / "_extra/docs/readme.txt"));
  EXPECT_FALSE(fs::exists(run / "_extra/docs/readme.txt.part"));
  EXPECT_NE(lines[1], "movies/intro.swf -> "); // the rest of the archive is intact
}

TEST_F(PackagedApp, WithoutAnArchivePathsResolveBesideTheExecutable) {
  const fs::path dir = root_ / "bare";
  fs::create_directories(dir);
  fs::copy_file(runtimeExe(), dir / "plumex.exe", fs::copy_options::overwrite_existing);
  writeText(dir / "readme.txt", "beside");
  const ProcessResult r =
      probeExtract(dir / "plumex.exe", root_ / "run4", {"readme.txt", "missing.txt"});
  const auto lines = fields(r.out).at("extract");
  EXPECT_EQ(lines[0], "readme.txt -> " + windowsPath(dir) + "\\readme.txt");
  EXPECT_EQ(lines[1], "missing.txt -> ");
}

TEST_F(PackagedApp, StartsSavesSettingsAndCleansUp) {
  Wine& wine = Wine::instance();
  runProcess({"wine", "reg", "delete", "HKCU\\Software\\Plumex Tests", "/f"}, 60s, wine.environment());
  const auto before = runFolders();

  BackgroundProcess app = wine.start(app_, {});
  const InspectorResult info = inspect({"info", "--title", "Packaged caption", "--timeout", "30000"});
  ASSERT_EQ(info.process.exitCode, 0) << info.process.err;
  EXPECT_EQ(info["class"], "PlumexProjector");
  EXPECT_NE(info["owner"], "0x0"); // the invisible owner window keeps it off the taskbar

  const auto during = runFolders();
  ASSERT_EQ(during.size(), before.size() + 1);
  fs::path runFolder;
  for (const fs::path& p : during)
    if (std::find(before.begin(), before.end(), p) == before.end()) runFolder = p;
  EXPECT_TRUE(fs::is_regular_file(runFolder / "logo.msk"));
  EXPECT_FALSE(fs::exists(runFolder / "outline.msk")); // listed without data
  EXPECT_TRUE(fs::is_regular_file(runFolder / "_extra/movies/intro.swf"));

  const Bytes stamp = packagedResource(app_, u"CS");
  std::string stampHex;
  for (std::uint8_t b : stamp) {
    char h[3];
    std::snprintf(h, sizeof h, "%02X", b);
    stampHex += h;
  }
  EXPECT_EQ(wine.regQuery(registryKey(), "crc"), stampHex);
  EXPECT_TRUE(wine.regQuery(registryKey(), "Options").has_value());

  // Calls from other processes get 0 while no script engine runs.
  const InspectorResult call =
      inspect({"copydata", "--title", "Packaged caption", "--call", "hello", "--arg", "x"});
  EXPECT_EQ(call.process.exitCode, 0) << call.process.err;
  EXPECT_EQ(call["result"], "0");

  ASSERT_EQ(inspect({"post", "--title", "Packaged caption", "--msg", "16"}).process.exitCode, 0);
  EXPECT_EQ(app.wait(30s), 0);
  EXPECT_FALSE(fs::exists(runFolder));
}

// Runs the package until its window shows, closes it, and returns the
// window's title.
std::string titleOfRun(const fs::path& exe) {
  BackgroundProcess app = Wine::instance().start(exe, {});
  const InspectorResult info = inspect({"info", "--class", "PlumexProjector", "--timeout", "30000"});
  inspect({"post", "--class", "PlumexProjector", "--msg", "16"});
  EXPECT_EQ(app.wait(30s), 0);
  return info["title"];
}

std::string hexOf(const Bytes& b) {
  std::string s;
  for (std::uint8_t v : b) {
    char h[3];
    std::snprintf(h, sizeof h, "%02X", v);
    s += h;
  }
  return s;
}

TEST_F(PackagedApp, SavedOptionsSurviveOnlyTheSameBuild) {
  Wine& wine = Wine::instance();
  const auto env = wine.environment();
  // The same build reads the options saved in the registry.
  container::SettingsRecord saved;
  saved.appearance.caption = "Saved caption";
  const std::string stamp = hexOf(packagedResource(app_, u"CS"));
  runProcess({"wine", "reg", "add", registryKey(), "/v", "crc", "/t", "REG_BINARY", "/d", stamp, "/f"}, 60s, env);
  runProcess({"wine", "reg", "add", registryKey(), "/v", "Options", "/t", "REG_BINARY", "/d",
              hexOf(container::writeSettings(saved)), "/f"}, 60s, env);
  EXPECT_EQ(titleOfRun(app_), "Saved caption");

  // Damaged saved options fall back to the packaged ones, which are written back.
  runProcess({"wine", "reg", "add", registryKey(), "/v", "Options", "/t", "REG_BINARY", "/d",
              "0100", "/f"}, 60s, env);
  EXPECT_EQ(titleOfRun(app_), "Packaged caption");
  const Bytes packaged = container::unpackBlock(packagedResource(app_, u"ST"));
  EXPECT_EQ(wine.regQuery(registryKey(), "Options"), hexOf(packaged));

  // A new build (another stamp) discards the saved options and rewrites both.
  runProcess({"wine", "reg", "add", registryKey(), "/v", "Options", "/t", "REG_BINARY", "/d",
              hexOf(container::writeSettings(saved)), "/f"}, 60s, env);
  const fs::path rebuilt = root_ / "rebuilt.exe";
  ASSERT_EQ(pack("Rebuilt caption", rebuilt).exitCode, 0);
  EXPECT_EQ(titleOfRun(rebuilt), "Rebuilt caption");
  EXPECT_EQ(wine.regQuery(registryKey(), "crc"), hexOf(packagedResource(rebuilt, u"CS")));
  EXPECT_EQ(wine.regQuery(registryKey(), "Options"),
            hexOf(container::unpackBlock(packagedResource(rebuilt, u"ST"))));
}

TEST_F(PackagedApp, InstallHookModeOpensNothing) {
  const auto before = runFolders();
  for (const char* spelling : {"/afterinstall", "/BEFOREUNINST"}) {
    const ProcessResult r = Wine::instance().run(app_, {spelling}, 60s);
    EXPECT_EQ(r.exitCode, 0) << spelling;
    EXPECT_FALSE(r.timedOut) << spelling;
  }
  EXPECT_EQ(runFolders().size(), before.size());
  // Only the first argument counts.
  BackgroundProcess app = Wine::instance().start(app_, {"other", "/AfterInstall"});
  const InspectorResult info = inspect({"wait", "--class", "PlumexProjector", "--timeout", "30000"});
  EXPECT_EQ(info.process.exitCode, 0);
  inspect({"post", "--class", "PlumexProjector", "--msg", "16"});
  EXPECT_EQ(app.wait(30s), 0);
}

TEST_F(PackagedApp, BareRuntimeReportsInvalidApplicationData) {
  BackgroundProcess app = Wine::instance().start(runtimeExe(), {});
  const InspectorResult box = inspect({"msgbox", "--press", "OK", "--timeout", "30000"});
  ASSERT_EQ(box.process.exitCode, 0) << box.process.err;
  EXPECT_EQ(box["text"], "Invalid application data");
  EXPECT_EQ(box.all("button"), (std::vector<std::string>{"1 OK"}));
  EXPECT_EQ(app.wait(30s), 1);
}

} // namespace
} // namespace plumex::testing
