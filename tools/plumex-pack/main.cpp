// plumex-pack: packages an application (movies, files, scripts, settings)
// into one executable built on the runtime.

#include <cstring>
#include <filesystem>
#include <iostream>

#include "manifest.h"
#include "packager.h"

namespace {

constexpr const char* kUsage =
    "usage: plumex-pack [--runtime PLUMEX.EXE] [-o OUTPUT.EXE] [--quiet] MANIFEST.json\n"
    "\n"
    "Packages the application that MANIFEST.json describes (see docs/manifest.md):\n"
    "the runtime executable is copied with the application's settings, identity,\n"
    "movie record, masks and scripts added as resources, and its files appended as\n"
    "an archive.\n"
    "\n"
    "  --runtime PATH  the runtime to build on (default: the manifest's \"runtime\")\n"
    "  -o PATH         the packaged executable (default: the manifest's \"output\")\n"
    "  --quiet         print nothing but errors\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 packaged, 1 failed (nothing written), 2 bad usage.\n";

} // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::optional<fs::path> runtime, output, manifestPath;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "plumex-pack: " << a << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--runtime") {
      runtime = fs::path(value());
    } else if (a == "-o") {
      output = fs::path(value());
    } else if (a == "--quiet") {
      quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "plumex-pack: unknown option " << a << "\n" << kUsage;
      return 2;
    } else if (!manifestPath) {
      manifestPath = fs::path(a);
    } else {
      std::cerr << "plumex-pack: one manifest at a time\n" << kUsage;
      return 2;
    }
  }
  if (!manifestPath) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    const plumex::pack::Manifest manifest = plumex::pack::readManifest(*manifestPath);
    plumex::pack::PackOptions options;
    if (!runtime) runtime = manifest.runtime;
    if (!output) output = manifest.output;
    if (!runtime) throw plumex::pack::ManifestError(manifestPath->string() + ": runtime: missing (or give --runtime)");
    if (!output) throw plumex::pack::ManifestError(manifestPath->string() + ": output: missing (or give -o)");
    options.runtime = *runtime;
    options.output = *output;
    options.progress = quiet ? nullptr : &std::cout;
    plumex::pack::pack(manifest, options);
  } catch (const std::exception& e) {
    std::cerr << "plumex-pack: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
