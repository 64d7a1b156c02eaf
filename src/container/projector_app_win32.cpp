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
#include "container/help_viewer.h"
#include "container/main_frame_win32.h"
#include "container/open_movie_dialog_win32.h"
#include "container/options_dialog_win32.h"
#include "container/protected_file.h"
#include "container/resources_win32.h"
#include "container/restrictions_win32.h"
#include "container/run_folder.h"
#include "container/settings_store_win32.h"
#include "platform/ansi_text.h"
#include "platform/files.h"
#include "resources/resource_ids.h"
#include "script/vm/engine_interface.h"

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

ProjectorApp::ProjectorApp(HINSTANCE instance)
    : instance_(instance), exePath_(moduleFileName(instance)), appName_(baseNameWithoutExtension(exePath_)),
      engine_([this] { return makeEngine(hostContext_); }) {
  hostContext_.optionGroups.record = &settings_;
}

ProjectorApp::~ProjectorApp() = default;

std::unique_ptr<script::Engine> ProjectorApp::makeEngine(hostlib::HostContext& context) const {
  script::vm::EngineSetup setup;
  setup.registerClasses = [&context](script::Engine& e) { hostlib::registerHostClasses(e, context); };
  return script::vm::createEngine(setup);
}

int ProjectorApp::run() {
  if (!initInstance()) {
    const int status = exitInstance();
    // A refused start is not a success, except for install hooks, which
    // end this way by design.
    return installHookMode_ ? status : 1;
  }
  const int quit = messageLoop();
  const int status = exitInstance();
  return status != 0 ? status : quit;
}

// The framework's loop: the window sees each message before it is
// translated, and idle work runs whenever the queue runs dry.
int ProjectorApp::messageLoop() {
  MSG msg{};
  bool idle = true;
  for (;;) {
    while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) idle = onIdle();
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    if (!mainFrame_ || !mainFrame_->preTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // Timer and paint messages come by themselves; only other messages can
    // have made more idle work.
    if (msg.message != WM_TIMER && msg.message != WM_PAINT && msg.message != 0x0118) idle = true;
  }
  return static_cast<int>(msg.wParam);
}

// One deferred run per pass; more idle work while runs are left.
bool ProjectorApp::onIdle() {
  if (!mainFrame_ || !mainFrame_->hwnd()) return false;
  auto& queue = mainFrame_->deferredRuns();
  if (queue.empty()) return false;
  const std::string name = queue.front();
  queue.pop_front();
  runPackagedModule(name);
  return !queue.empty();
}

std::optional<ApplicationEngine::Completion> ProjectorApp::runPackagedModule(const std::string& name) {
  const std::vector<std::uint8_t>* module = scriptResource(name);
  if (!module) return std::nullopt;
  return engine_.runModule(*module);
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
      // A fresh engine of its own, over the settings as they are (zero).
      hostlib::HostContext context;
      context.optionGroups.record = &settings_;
      if (auto engine = makeEngine(context)) script::vm::runModule(*engine, module->data(), module->size());
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

  smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
  createOwnerWindow();
  mainFrame_ = std::make_unique<CMainFrame>(*this, ownerWindow_);
  if (!mainFrame_->hwnd()) return false;
  hostContext_.optionGroups.host = mainFrame_.get();
  if (movie_.mainMovie.empty()) mainFrame_->setNoMovie(true);

  // The start-up script may veto the start: a completion value of false.
  if (const auto completion = runPackagedModule("INITIALIZE"); completion && completion->boolean == false)
    return false;

  if (settings_.misc.flags & 0x100) mute_.setOption(true);
  mainFrame_->rebuildContextMenu();
  restoreMask_ = applyRestrictions(settings_.interaction.restrictions);
  if (settings_.behaviour.flags & 0x1000) mainFrame_->showTrayIcon(true);
  showMainMovie();
  mainFrame_->recordAspectRatio();
  mainFrame_->applyTopmostAndMinimized(true);
  if ((settings_.misc.flags & 0x1000) && !settings_.misc.helpFile.empty()) helpFile_ = extract(settings_.misc.helpFile);
  mainFrame_->applyBackground();
  UpdateWindow(mainFrame_->hwnd());
  return true;
}

void ProjectorApp::createOwnerWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME));
  wc.hIconSm = smallIcon_;
  wc.lpszClassName = L"PlumexOwner";
  RegisterClassExW(&wc);
  ownerWindow_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
}

// The main movie, when there is one, sizes and places the window;
// otherwise it shows at the size it was made with.
void ProjectorApp::showMainMovie() {
  CMainFrame& frame = *mainFrame_;
  if (movie_.mainMovie.empty()) {
    frame.applyAppearance();
    ShowWindow(frame.hwnd(), SW_SHOW);
    return;
  }
  moviePath_ = extract(movie_.mainMovie);
  frame.applyAppearance();
  frame.applySizeAndPosition(moviePath_);
  if (settings_.appearance.windowShape == 2) frame.applyShape();
}

std::optional<CipherKey> ProjectorApp::movieKey() const {
  if (!movie_.isProtected()) return std::nullopt;
  return keyFromProtectionField(movie_.protection);
}

void ProjectorApp::reapplyRestrictions() {
  undoRestrictions(restoreMask_);
  restoreMask_ = applyRestrictions(settings_.interaction.restrictions);
}

void ProjectorApp::openHelp() {
  if (!(settings_.misc.flags & 0x1000) || helpFile_.empty() || !mainFrame_) return;
  HWND owner = mainFrame_->hwnd();
  switch (helpViewerFor(helpFile_)) {
    case HelpViewer::HtmlHelp: {
      if (!htmlHelp_) htmlHelp_ = LoadLibraryA("hhctrl.ocx");
      using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
      auto* show = htmlHelp_ ? reinterpret_cast<HtmlHelpFn>(
                                   reinterpret_cast<void*>(GetProcAddress(htmlHelp_, "HtmlHelpA")))
                             : nullptr;
      if (show) show(owner, helpFile_.c_str(), 0 /* display topic */, 0);
      break;
    }
    case HelpViewer::WinHelp:
      WinHelpA(owner, helpFile_.c_str(), HELP_INDEX, 0);
      break;
    case HelpViewer::None:
      break;
  }
}

// The "Options" sheet edits a copy: OK saves it and applies it to the
// window; Cancel leaves everything as it was.
void ProjectorApp::openOptions() {
  if (!mainFrame_) return;
  CMainFrame& frame = *mainFrame_;
  const auto edited = runOptionsSheet(instance_, frame.hwnd(), settings_, maskNames_, [this] { openHelp(); });
  if (!edited) return;
  settings_ = *edited;
  SettingsStore(registryKey_, profile_).save(settings_);
  frame.applyAppearance();
  if (frame.hasMovie()) frame.applySizeAndPosition(moviePath_);
  frame.applyShape();
  reapplyRestrictions();
  frame.applyTopmostAndMinimized(true);
  frame.rebuildContextMenu();
  if ((settings_.misc.flags & 0x1000) && !settings_.misc.helpFile.empty()) helpFile_ = extract(settings_.misc.helpFile);
  mute_.setOption((settings_.misc.flags & 0x100) != 0);
  frame.showTrayIcon((settings_.behaviour.flags & 0x1000) != 0);
  frame.applyBackground();
}

std::optional<std::string> ProjectorApp::askForMovie(HWND owner) { return askForMovieLocation(instance_, owner); }

void ProjectorApp::loadMovie(const std::string& location) {
  if (!mainFrame_) return;
  moviePath_ = location;
  mainFrame_->setNoMovie(false);
  mainFrame_->applySizeAndPosition(moviePath_);
}

int ProjectorApp::exitInstance() {
  if (installHookMode_) return 0;
  engine_.quit();
  hostContext_.optionGroups.host = nullptr;
  mainFrame_.reset();
  undoRestrictions(restoreMask_);
  restoreMask_ = 0;
  mute_.restore();
  if (htmlHelp_) FreeLibrary(htmlHelp_);
  htmlHelp_ = nullptr;
  if (!runFolder_.empty() && directoryExists(runFolder_)) removeTree(runFolder_);
  runFolder_.clear();
  if (ownerWindow_ && IsWindow(ownerWindow_) && !windowsEnding_) DestroyWindow(ownerWindow_);
  ownerWindow_ = nullptr;
  if (smallIcon_) DestroyIcon(smallIcon_);
  smallIcon_ = nullptr;
  if (socketsStarted_) WSACleanup();
  socketsStarted_ = false;
  return 0;
}

} // namespace plumex::container
