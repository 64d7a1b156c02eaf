// Archive lookup and extraction. Each input becomes the archive of a
// fabricated executable in a scratch folder (under TMPDIR); a few paths are
// extracted into a fresh run folder, which is deleted afterwards. Whatever the
// archive holds, nothing may be written outside the run folder, unsafe paths
// find nothing, and every path extract() returns exists.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "container/archive.h"
#include "fake_exe.h"
#include "fuzz_check.h"

namespace fs = std::filesystem;
using namespace plumex::container;

namespace {

struct Scratch {
  fs::path base;
  fs::path exe;
  fs::path run;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "plumex-fuzz-archive-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    base = pattern;
    exe = base / "app.exe";
    run = base / "run";
  }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const Scratch& s = scratch();
  {
    std::ofstream out(s.exe, std::ios::binary | std::ios::trunc);
    const std::vector<std::uint8_t> headers = plumex::fuzz::fakeExeHeaders();
    out.write(reinterpret_cast<const char*>(headers.data()), static_cast<std::streamsize>(headers.size()));
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
  }
  fs::create_directory(s.run);
  const std::string runFolder = s.run.string() + "/";
  const std::string beside = s.base.string() + "/";

  // Specific paths first: the empty path extracts everything, after which
  // every lookup would be served from the disk.
  for (const char* path : {"a", "d/a", "D\\A", "d/", "d/e/", "", "../a", "d/../../a", "con", "d/NUL.txt"}) {
    const std::string got = extract({s.exe.string(), runFolder, path, {}});
    if (got.empty()) continue;
    const std::string p(path);
    FUZZ_CHECK(p.find("..") == std::string::npos);
    FUZZ_CHECK(p != "con" && p != "d/NUL.txt");
    // Served from the run folder, or (without a usable archive) from beside
    // the executable.
    FUZZ_CHECK(startsWith(got, runFolder) || startsWith(got, beside));
    if (got.back() == '/')
      FUZZ_CHECK(fs::is_directory(got));
    else
      FUZZ_CHECK(fs::is_regular_file(got));
  }

  // Nothing escaped: the scratch folder holds the executable and the run
  // folder, and the run folder only what extraction puts there.
  for (const fs::directory_entry& e : fs::directory_iterator(s.base))
    FUZZ_CHECK(e.path() == s.exe || e.path() == s.run);
  for (const fs::directory_entry& e : fs::directory_iterator(s.run))
    FUZZ_CHECK(e.path().filename() == "_extra");
  fs::remove_all(s.run);
  return 0;
}
