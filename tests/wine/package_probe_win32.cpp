// package_probe: reads a packaged executable the way the runtime does, for
// the end-to-end tests.
//
//   package_probe resources EXE                     every packaged resource, and what it holds
//   package_probe extract EXE RUNFOLDER PATH...     extracts archive paths into RUNFOLDER
//   package_probe scripts EXE NAME...               looks scripts up in the runtime's cache, twice
//
// Output is "key: value" lines. Exit status: 0 done, 1 failed, 2 bad usage.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "container/archive.h"
#include "container/container_errors.h"
#include "container/packed_block.h"
#include "container/projector_app_win32.h"
#include "container/records.h"
#include "container/resources_win32.h"
#include "container/settings_record.h"

namespace pc = plumex::container;

namespace {

std::vector<std::string> g_names;

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR) {
  g_names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name))
                                         : std::string(name));
  return TRUE;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  char b[3];
  for (std::uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v);
    s += b;
  }
  return s;
}

void line(const std::string& key, const std::string& value) {
  std::printf("%s: %s\n", key.c_str(), value.c_str());
}

int resources(const char* exe) {
  HMODULE m = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) {
    std::fprintf(stderr, "package_probe: cannot load %s\n", exe);
    return 1;
  }
  for (const char* type : {"PLUMEX", "QUORV", "MENUS"}) {
    g_names.clear();
    EnumResourceNamesA(m, type, collectName, 0);
    for (const std::string& name : g_names) {
      try {
        const auto raw = pc::loadRawResource(m, type, name.c_str());
        line("resource", std::string(type) + "/" + name + " " + std::to_string(raw.size()));
        const bool packed = raw.size() > 2 && raw[0] == 'S' && raw[1] == 'M';
        if (packed)
          line("unpacked", std::string(type) + "/" + name + " " +
                               std::to_string(pc::unpackBlock(raw).size()));
      } catch (const std::exception& e) {
        line("error", std::string(type) + "/" + name + " " + e.what());
      }
    }
  }
  try {
    const auto settings = pc::readSettings(pc::loadPackedResource(m, "PLUMEX", "ST"));
    line("caption", settings.appearance.caption);
    line("product", settings.productName.value_or(""));
    line("cs", hex(pc::loadRawResource(m, "PLUMEX", "CS")));
    const auto movie = pc::readMovieRecord(pc::loadPackedResource(m, "PLUMEX", "ML"));
    line("main-movie", movie.mainMovie);
    line("protected", movie.isProtected() ? "1" : "0");
    if (const auto id = pc::readIdentity(pc::loadRawResource(m, "PLUMEX", "ID"))) {
      line("registry-key", id->registryKey);
      line("profile", id->profile.value_or("(none)"));
      line("app-id", pc::formatGuid(id->appId));
    } else {
      line("identity", "invalid");
    }
    if (FindResourceA(m, "RG", "PLUMEX"))
      for (const pc::Mask& mask : pc::readMaskList(pc::loadPackedResource(m, "PLUMEX", "RG")))
        line("mask", mask.name + " " + std::to_string(mask.data.size()));
    if (FindResourceA(m, "FP", "PLUMEX")) {
      const auto fp = pc::loadRawResource(m, "PLUMEX", "FP");
      line("flash-player", reinterpret_cast<const char*>(fp.data() + 16));
    }
  } catch (const std::exception& e) {
    line("error", e.what());
  }
  FreeLibrary(m);
  return 0;
}

int extract(int argc, char** argv) {
  if (argc < 5) return 2;
  for (int i = 4; i < argc; ++i) {
    const std::string result =
        pc::extract({argv[2], argv[3], argv[i], [](const std::string& m) { line("report", m); }});
    line("extract", std::string(argv[i]) + " -> " + result);
  }
  return 0;
}

int scripts(int argc, char** argv) {
  HMODULE m = LoadLibraryExA(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return 1;
  {
    pc::ProjectorApp app(m);
    for (int i = 3; i < argc; ++i) {
      const auto* first = app.scriptResource(argv[i]);
      const auto* again = app.scriptResource(argv[i]);
      line("script", std::string(argv[i]) + " " +
                         (first ? std::to_string(first->size()) : std::string("absent")) +
                         (first && first == again ? " cached" : ""));
    }
  }
  FreeLibrary(m);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  int status = 2;
  if (argc >= 3 && std::string(argv[1]) == "resources") status = resources(argv[2]);
  else if (argc >= 2 && std::string(argv[1]) == "extract") status = extract(argc, argv);
  else if (argc >= 3 && std::string(argv[1]) == "scripts") status = scripts(argc, argv);
  if (status == 2) std::fprintf(stderr, "usage: package_probe resources EXE | extract EXE RUNFOLDER PATH... | scripts EXE NAME...\n");
  std::fflush(stdout);
  return status;
}
