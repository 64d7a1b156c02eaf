// plumex-pack: packages an application (movies, files, scripts, settings)
// into one executable built on the runtime, and looks inside packages.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "build_info.h"
#include "manifest.h"
#include "package_inspection.h"
#include "packager.h"
#include "reproducible.h"

namespace {

constexpr const char* kUsage =
    "usage: plumex-pack [--runtime PLUMEX.EXE] [-o OUTPUT.EXE] [--quiet] MANIFEST.json\n"
    "       plumex-pack --list APP.EXE\n"
    "       plumex-pack --verify APP.EXE\n"
    "       plumex-pack --version\n"
    "\n"
    "Packages the application that MANIFEST.json describes (see docs/manifest.md):\n"
    "the runtime executable is copied with the application's settings, identity,\n"
    "movie record, masks and scripts added as resources, and its files appended as\n"
    "an archive. The same manifest and files give the same bytes: nothing comes\n"
    "from chance or the clock. The PE time stamp is SOURCE_DATE_EPOCH (seconds\n"
    "since 1970) when that is set, else a value derived from the package.\n"
    "\n"
    "  --runtime PATH  the runtime to build on (default: the manifest's \"runtime\")\n"
    "  -o PATH         the packaged executable (default: the manifest's \"output\")\n"
    "  --quiet         print nothing but errors\n"
    "  --list APP.EXE  print what a package holds: its identity, settings and movie\n"
    "                  record as manifest fields (JSON), its application resources,\n"
    "                  and every archive entry with its size and whether it is\n"
    "                  enciphered (nothing is deciphered)\n"
    "  --verify APP.EXE  check the identity digest, the settings stamp, every packed\n"
    "                  resource, the image checksum, the archive and every entry's\n"
    "                  CRC-32, one line each, naming what is damaged\n"
    "  --version       the version and the commit this build was made from\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 packaged (listed, verified: no damage), 1 failed (nothing\n"
    "written) or damage found, 2 bad usage.\n";

std::vector<std::uint8_t> readPackage(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot be read");
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// --list and --verify: the package named after the option.
int inspect(const std::string& option, const std::filesystem::path& path) {
  try {
    const std::vector<std::uint8_t> exe = readPackage(path);
    const bool intact = option == "--list" ? plumex::pack::listPackage(exe, std::cout)
                                           : plumex::pack::verifyPackage(exe, std::cout);
    return intact ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "plumex-pack: " << path.string() << ": " << e.what() << "\n";
    return 1;
  }
}

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
    } else if (a == "--version") {
      std::cout << plumex::versionLine("plumex-pack") << "\n";
      return 0;
    } else if (a == "--list" || a == "--verify") {
      const fs::path package(value());
      if (argc != 3) {
        std::cerr << "plumex-pack: " << a << " takes one executable and nothing else\n" << kUsage;
        return 2;
      }
      return inspect(a, package);
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
    options.timeStamp = plumex::pack::sourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"));
    plumex::pack::pack(manifest, options);
  } catch (const std::exception& e) {
    std::cerr << "plumex-pack: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
