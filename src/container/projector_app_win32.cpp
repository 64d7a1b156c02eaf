#include "container/projector_app_win32.h"

#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <winsock2.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "container/archive.h"
#include "container/container_errors.h"
#include "container/digest.h"
#include "container/main_frame_win32.h"
#include "container/resources_win32.h"
#include "container/run_folder.h"
#include "container/settings_store_win32.h"
#include "platform/ansi_text.h"
#include "platform/files.h"

namespace plumex::container {
namespace {

constexpr const char* kPackageType = "PLUMEX";
constexpr const char* kScriptType = "QUORV";

std::string environmentValue(const char* name) {
  char buffer[1024];
  const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string moduleFileName(HINSTANCE instance) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string baseNameWithoutExtension(const std::string& path) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  return name.substr(0, name.rfind('.'));
}

std::u16string commandLineArgument(int index) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::u16string arg;
  if (argv && index < argc) arg = reinterpret_cast<const char16_t*>(argv[index]);
  LocalFree(argv);
  return arg;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           auto up = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
           return up(x) == up(y);
         });
}

std::uint32_t hashName(std::string_view name) {
  std::uint32_t h = 0;
  for (unsigned char c : name) h = (h >> 7) ^ (h >> 16) ^ c ^ (h << 5);
  return h;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void showStop(const char* text, const std::string& title) {
  MessageBoxA(nullptr, text, title.c_str(), MB_OK | MB_ICONSTOP);
}

} // namespace

ProjectorApp::ProjectorApp(HINSTANCE instance, StartupHooks hooks)
    : instance_(instance), hooks_(std::move(hooks)), exePath_(moduleFileName(instance)),
      appName_(baseNameWithoutExtension(exePath_)) {}

ProjectorApp::~ProjectorApp() = default;

int ProjectorApp::run() {
  if (!initInstance()) {
    const int status = exitInstance();
    // A refused start is not a success, except for install hooks, which
    // end this way by design.
    return installHookMode_ ? status : 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  mainFrame_.reset();
  const int status = exitInstance();
  return status != 0 ? status : static_cast<int>(msg.wParam);
}

void ProjectorApp::report(const std::string& message) const {
  // Silent until the projector window exists: there is nothing to own the box.
  if (!mainFrame_ || !mainFrame_->hwnd()) return;
  wchar_t caption[260] = {};
  GetWindowTextW(mainFrame_->hwnd(), caption, 260);
  const std::u16string text = ansiToUtf16(message.substr(0, 260));
  MessageBoxW(mainFrame_->hwnd(), reinterpret_cast<const wchar_t*>(text.c_str()), caption,
              MB_OK | MB_ICONSTOP);
}

bool ProjectorApp::runInstallHookIfAsked() {
  const std::u16string first = commandLineArgument(1);
  const bool after = equalsIgnoringCase(first, u"/AfterInstall");
  const bool before = equalsIgnoringCase(first, u"/BeforeUninst");
  if (!after && !before) return false;

  WSADATA wsa;
  const bool sockets = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;
  OleInitialize(nullptr);
  try {
    if (auto module = loadOptionalPackedResource(instance_, kScriptType,
                                                 after ? "AfterInstall" : "BeforeUninst")) {
      if (hooks_.runInstallHook) hooks_.runInstallHook(*module);
    }
  } catch (const std::exception&) {
    // A damaged hook script is reported like any packed resource: silently,
    // as there is no window.
  }
  OleUninitialize();
  if (sockets) WSACleanup();
  installHookMode_ = true;
  return true;
}

bool ProjectorApp::loadIdentity() {
  std::optional<Identity> id;
  try {
    id = readIdentity(loadRawResource(instance_, kPackageType, "ID"));
  } catch (const std::exception&) {
  }
  if (!id) return false;
  registryKey_ = id->registryKey;
  appName_ = id->registryKey;
  profile_ = id->profile.value_or(baseNameWithoutExtension(exePath_));
  appId_ = formatGuid(id->appId);
  return true;
}

void ProjectorApp::createRunFolder() {
  char windowsDir[MAX_PATH] = {};
  GetWindowsDirectoryA(windowsDir, MAX_PATH);
  GUID guid;
  CoCreateGuid(&guid);
  Guid bytes;
  std::memcpy(bytes.data(), &guid, sizeof guid);
  runFolder_ = runFolderPath(environmentValue("TMP"), environmentValue("TEMP"), windowsDir, bytes);
  if (runFolder_.empty() || !CreateDirectoryA(runFolder_.c_str(), nullptr)) {
    const std::string why = lastErrorText();
    runFolder_.clear();
    report(why);
  }
}

void ProjectorApp::loadMasks() {
  try {
    const auto list = loadOptionalPackedResource(instance_, kPackageType, "RG");
    if (!list) return;
    for (const Mask& mask : readMaskList(*list)) {
      maskNames_.push_back(mask.name);
      if (mask.data.empty() || runFolder_.empty()) continue;
      OutputFile out;
      if (out.create(runFolder_ + mask.name + ".msk")) out.write(mask.data.data(), mask.data.size());
    }
  } catch (const std::exception& e) {
    report(e.what());
  }
}

std::string ProjectorApp::extract(const std::string& archivePath) const {
  return container::extract({exePath_, runFolder_, archivePath,
                             [this](const std::string& m) { report(m); }});
}

const std::vector<std::uint8_t>* ProjectorApp::scriptResource(const std::string& name) {
  const std::string key = upper(name);
  auto& chain = scriptCache_[hashName(key) % scriptCache_.size()];
  for (const CachedScript& s : chain)
    if (s.name == key) return &s.module;
  try {
    std::vector<std::uint8_t> module = loadPackedResource(instance_, kScriptType, name.c_str());
    chain.insert(chain.begin(), CachedScript{key, std::move(module)});
    return &chain.front().module;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool ProjectorApp::initInstance() {
  if (runInstallHookIfAsked()) return false;

  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
    MessageBoxA(nullptr, "Failed to initialize the WIndows Socket!", appName_.c_str(), MB_OK);
    return false;
  }
  socketsStarted_ = true;

  WNDCLASSA link{};
  link.style = CS_HREDRAW | CS_VREDRAW;
  link.lpfnWndProc = DefWindowProcA;
  link.hInstance = instance_;
  link.lpszClassName = "LNKURL";
  RegisterClassA(&link);

  // A packaged application always carries its settings; without them the
  // data is not ours.
  if (!loadIdentity() || !FindResourceA(instance_, "ST", kPackageType)) {
    showStop("Invalid application data", appName_);
    return false;
  }

  createRunFolder();

  std::vector<std::uint8_t> stamp;
  try {
    stamp = loadRawResource(instance_, kPackageType, "CS");
  } catch (const std::exception&) {
  }
  std::optional<std::vector<std::uint8_t>> packaged;
  try {
    packaged = loadPackedResource(instance_, kPackageType, "ST");
  } catch (const std::exception& e) {
    report(e.what());
  }
  settings_ = SettingsStore(registryKey_, profile_).load(stamp, packaged);

  loadMasks();
  try {
    if (auto record = loadOptionalPackedResource(instance_, kPackageType, "ML"))
      movie_ = readMovieRecord(*record);
  } catch (const std::exception& e) {
    report(e.what());
  }

  ownerWindow_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance_,
                                 nullptr);
  mainFrame_ = std::make_unique<MainFrame>(instance_, ownerWindow_, settings_.appearance.caption);
  if (!mainFrame_->hwnd()) return false;

  if (hooks_.runStartupScript) {
    if (const auto* module = scriptResource("INITIALIZE")) {
      if (hooks_.runStartupScript(*module) == false) return false;
    }
  }

  // The movie host loads the main movie from here once it exists.
  if (!movie_.mainMovie.empty()) extract(movie_.mainMovie);
  mainFrame_->show(SW_SHOWNORMAL);
  return true;
}

int ProjectorApp::exitInstance() {
  if (installHookMode_) return 0;
  mainFrame_.reset();
  if (!runFolder_.empty() && directoryExists(runFolder_)) removeTree(runFolder_);
  runFolder_.clear();
  if (ownerWindow_ && IsWindow(ownerWindow_)) DestroyWindow(ownerWindow_);
  ownerWindow_ = nullptr;
  if (socketsStarted_) WSACleanup();
  socketsStarted_ = false;
  return 0;
}

} // namespace plumex::container
