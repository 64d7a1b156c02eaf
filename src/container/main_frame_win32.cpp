#include "container/main_frame_win32.h"

#include <commctrl.h>

#include "container/copydata.h"
#include "container/copydata_reply_win32.h"
#include "container/key_text.h"
#include "container/movie_control.h"
#include "container/script_commands.h"
#include "container/projector_app_win32.h"
#include "container/swf_header.h"
#include "platform/wide_text_win32.h"
#include "resources/resource_ids.h"

namespace plumex::container {
namespace {

static_assert(win::kWsPopup == WS_POPUP && win::kWsCaption == WS_CAPTION && win::kWsSysMenu == WS_SYSMENU &&
              win::kWsThickFrame == WS_THICKFRAME && win::kWsMinimizeBox == WS_MINIMIZEBOX &&
              win::kWsMaximizeBox == WS_MAXIMIZEBOX);
static_assert(win::kWsExTransparent == WS_EX_TRANSPARENT && win::kWsExToolWindow == WS_EX_TOOLWINDOW &&
              win::kWsExClientEdge == WS_EX_CLIENTEDGE && win::kWsExContextHelp == WS_EX_CONTEXTHELP &&
              win::kWsExAppWindow == WS_EX_APPWINDOW);
static_assert(win::kVkEscape == VK_ESCAPE && win::kVkApps == VK_APPS);

// The timer that asks again to close while a script call is running.
constexpr UINT_PTR kCloseRetryTimer = 1;
constexpr UINT kCloseRetryMs = 50;

Rect windowRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Size clientSize(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

HICON loadSmallIcon(HINSTANCE instance, int id) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
}

} // namespace

CMainFrame::CMainFrame(ProjectorApp& app, HWND owner) : app_(app), menus_(app.instance()) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = app.instance();
  wc.hIcon = LoadIconW(app.instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  wc.hIconSm = loadSmallIcon(app.instance(), IDR_MAINFRAME);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, app.instance(), this);
  if (!hwnd_) return;
  if (!host_.create(app.instance(), hwnd_)) {
    DestroyWindow(hwnd_);
    return;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), app.instance(),
                               nullptr);
  accelerators_ = LoadAcceleratorsW(app.instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  menus_.attach(hwnd_);
  layout();
}

CMainFrame::~CMainFrame() {
  tray_.remove();
  host_.destroy();
  if (hwnd_) DestroyWindow(hwnd_);
  if (classIcon_) DestroyIcon(classIcon_);
}

LRESULT CALLBACK CMainFrame::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

void CMainFrame::layout() {
  const Size client = clientSize(hwnd_);
  int height = client.height;
  if (statusBar_ && IsWindowVisible(statusBar_)) {
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(statusBar_, &bar);
    height -= bar.bottom - bar.top;
  }
  if (host_.hwnd()) MoveWindow(host_.hwnd(), 0, 0, client.width, height > 0 ? height : 0, TRUE);
}

// ------------------------------------------------------------- appearance

void CMainFrame::applyAppearance() {
  const SettingsRecord::Appearance& a = app_.settings().appearance;
  const bool visible = IsWindowVisible(hwnd_) != FALSE;
  ShowWindow(hwnd_, SW_HIDE);
  const StyleChange change = styleChangeForAppearance(a.borderStyle, a.borderIcons);
  const auto style = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE));
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>((style & ~change.removeStyle) | change.addStyle));
  SetWindowLongW(hwnd_, GWL_EXSTYLE, static_cast<LONG>((exStyle & ~change.removeExStyle) | change.addExStyle));
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  applyCaption();
  applyScaleMode();
  // A script changing a style must not hide the window it sees.
  if (visible) ShowWindow(hwnd_, SW_SHOW);
}

void CMainFrame::applyCaption() { SetWindowTextW(hwnd_, widen(app_.settings().appearance.caption).c_str()); }

void CMainFrame::applyScaleMode() { SendMessageW(hwnd_, kSetScaleMode, 0, app_.settings().appearance.scaleMode); }

void CMainFrame::applyBackground() { SendMessageW(hwnd_, kSetBackground, 0, app_.settings().misc.flags); }

void CMainFrame::applyShape() {
  // Window shapes and the transparent background plug in here.
}

bool CMainFrame::setIcon(const std::string& path) {
  auto* icon = static_cast<HICON>(LoadImageW(nullptr, widen(path).c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  if (!icon) return false;
  SetClassLongPtrW(hwnd_, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
  SetClassLongPtrW(hwnd_, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(icon));
  if (classIcon_) DestroyIcon(classIcon_);
  classIcon_ = icon;
  return true;
}

std::string CMainFrame::keyName(std::uint16_t vk, bool extended) {
  LONG scan = static_cast<LONG>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  if (extended) scan |= 1 << 24;
  wchar_t name[64] = {};
  if (GetKeyNameTextW(scan, name, 64) <= 0) return defaultKeyName(vk, extended);
  return narrow(name);
}

// ------------------------------------------------------- size and position

void CMainFrame::applySizeAndPosition() {
  if (!hasMovie()) return;
  applySizeAndPosition(app_.moviePath());
  applyShape();
}

void CMainFrame::applySizeAndPosition(const std::string& moviePath) {
  PlacementInput in;
  in.screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  in.current = windowRect(hwnd_);
  const Size client = clientSize(hwnd_);
  in.nonClient = {in.current.width - client.width, in.current.height - client.height};
  if (!moviePath.empty()) {
    if (const auto header = readSwfHeaderFile(moviePath, app_.movieKey())) {
      in.movie = Size{static_cast<std::int32_t>(header->widthPixels()),
                      static_cast<std::int32_t>(header->heightPixels())};
    }
  }
  const Placement p = placeWindow(app_.settings().sizeAndPos, in);
  const Rect& r = p.rect;
  switch (p.action) {
    case PlacementAction::MoveRepaintShow:
    case PlacementAction::FullScreenShow:
      MoveWindow(hwnd_, r.left, r.top, r.width, r.height, TRUE);
      ShowWindow(hwnd_, SW_SHOW);
      break;
    case PlacementAction::MoveShowMaximized:
      MoveWindow(hwnd_, r.left, r.top, r.width, r.height, FALSE);
      ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
      break;
    case PlacementAction::ShowOnly:
      ShowWindow(hwnd_, SW_SHOW);
      break;
  }
  recordAspectRatio();
}

void CMainFrame::recordAspectRatio() { aspectRatio_ = aspectRatio(clientSize(hwnd_)); }

void CMainFrame::onExitSizeMove() {
  sizing_ = false;
  const auto corrected = keepRatioRect(app_.settings().sizeAndPos.keepRatio != 0, aspectRatio_, sizingStart_,
                                       windowRect(hwnd_), clientSize(hwnd_));
  if (corrected) MoveWindow(hwnd_, corrected->left, corrected->top, corrected->width, corrected->height, TRUE);
}

void CMainFrame::applyTopmostAndMinimized(bool show) {
  const std::uint32_t flags = app_.settings().behaviour.flags;
  if (flags & 0x10) ShowWindow(hwnd_, SW_MINIMIZE);
  SetWindowPos(hwnd_, (flags & 0x100) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | (show ? SWP_SHOWWINDOW : SWP_NOREDRAW));
}

// ------------------------------------------------------------ menus, tray

void CMainFrame::rebuildContextMenu() { menus_.rebuildSystemMenu(hwnd_, app_.settings().behaviour.contextMenu); }

void CMainFrame::changeRestrictions(std::uint32_t) { app_.reapplyRestrictions(); }

void CMainFrame::showTrayIcon(bool shown) {
  if (!shown) {
    tray_.remove();
    return;
  }
  const bool appIcon = (app_.settings().behaviour.flags & 0x2) != 0;
  HICON icon = loadSmallIcon(app_.instance(), appIcon ? IDR_MAINFRAME : IDI_TRAY);
  // The caption the window has, or will have once start-up applies the
  // appearance settings.
  tray_.add(hwnd_, icon, widen(app_.settings().appearance.caption));
}

WindowState CMainFrame::state() const {
  if (!IsWindowVisible(hwnd_)) return WindowState::Hidden;
  return IsIconic(hwnd_) ? WindowState::Minimized : WindowState::Normal;
}

void CMainFrame::toggleFromTray() {
  switch (trayToggle(state())) {
    case TrayToggle::Show:
      ShowWindow(hwnd_, SW_SHOW);
      break;
    case TrayToggle::MinimizeAndHide:
      ShowWindow(hwnd_, SW_MINIMIZE);
      ShowWindow(hwnd_, SW_HIDE);
      break;
    case TrayToggle::Restore:
      ShowWindow(hwnd_, SW_RESTORE);
      break;
  }
}

void CMainFrame::onTrayNotify(UINT mouseMessage) {
  if (mouseMessage == WM_LBUTTONDBLCLK) {
    toggleFromTray();
  } else if (mouseMessage == WM_RBUTTONUP) {
    wchar_t caption[260] = {};
    GetWindowTextW(hwnd_, caption, 260);
    HMENU menu = menus_.trayMenu(app_.settings().behaviour.contextMenu, state(),
                                 narrow(caption));
    if (!menu) return;
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(hwnd_);
    const UINT id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (id) onCommand(id);
  }
}

void CMainFrame::showSystemMenuAt(POINT screen) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  ownSystemMenu_ = true;
  SendMessageW(hwnd_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
  const UINT id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd_, nullptr);
  ownSystemMenu_ = false;
  if (!id) return;
  if (isFlashPlayerCommand(id)) {
    SendMessageW(host_.focusTarget(), WM_COMMAND, id, 0);
  } else {
    SendMessageW(hwnd_, WM_SYSCOMMAND, id, 0);
  }
}

void CMainFrame::onInitMenuPopup(HMENU menu, bool systemMenu) {
  const SettingsRecord::Appearance& a = app_.settings().appearance;
  if (systemMenu && ownSystemMenu_) {
    const SystemMenuState s = systemMenuState(IsZoomed(hwnd_) != FALSE, a.borderStyle, a.borderIcons);
    auto enable = [&](UINT item, bool on) { EnableMenuItem(menu, item, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    enable(SC_RESTORE, s.restore);
    enable(SC_SIZE, s.size);
    enable(SC_MAXIMIZE, s.maximize);
    enable(SC_MINIMIZE, s.minimize);
  }
  if (control_ && FrameMenus::isPlayerMenu(menu)) FrameMenus::updatePlayerMenu(menu, control_->playerState());
  if (!scriptCommands_ || !app_.engine().current()) return;
  // Items made by scripts: their state is asked for as the menu opens.
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id == static_cast<UINT>(-1) || !isScriptCommand(id)) continue;
    CommandUiState ui;
    bool known;
    {
      ApplicationEngine::Entry entry(app_.engine());
      known = scriptCommands_->update(id, ui);
    }
    if (!known) continue;
    EnableMenuItem(menu, id, MF_BYCOMMAND | (ui.enabled ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(menu, id, MF_BYCOMMAND | (ui.checked ? MF_CHECKED : MF_UNCHECKED));
    if (ui.caption) ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING, id, widen(*ui.caption).c_str());
  }
}

// --------------------------------------------------------------- commands

bool CMainFrame::onCommand(UINT id) {
  if (isScriptCommand(id)) {
    if (scriptCommands_ && app_.engine().current()) {
      ApplicationEngine::Entry entry(app_.engine());
      scriptCommands_->command(id);
    }
    return true;
  }
  if (isFlashPlayerCommand(id)) {
    if (control_ && id != ID_FP_ABOUT) control_->playerCommand(id);
    return id != ID_FP_ABOUT;
  }
  switch (id) {
    case ID_CONFIGURE:
      app_.openOptions();
      return true;
    case ID_HELP_FILE:
      app_.openHelp();
      return true;
    case ID_ABOUT:
      return true;  // the about box plugs in here
    case ID_TRAY_TOGGLE:
      toggleFromTray();
      return true;
    case ID_APP_EXIT:
      PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      return true;
    case ID_FILE_OPEN:
      if (!hasMovie()) openMovie();
      return true;
  }
  return false;
}

void CMainFrame::openMovie() {
  const auto location = app_.askForMovie(hwnd_);
  if (!location) return;
  app_.loadMovie(*location);
}

// ------------------------------------------------------- closing, sessions

void CMainFrame::releaseMovie() {
  control_ = nullptr;
  host_.destroy();
}

void CMainFrame::onClose() {
  if (app_.engine().depth() > 0) {
    // A script call is running (a modal box, say): cancel the window on top
    // of us and ask again shortly, when the call may have returned.
    HWND active = GetActiveWindow();
    if (active && active != hwnd_) SendMessageW(active, WM_COMMAND, IDCANCEL, 0);
    closePending_ = true;
    SetTimer(hwnd_, kCloseRetryTimer, kCloseRetryMs, nullptr);
    return;
  }
  closePending_ = false;
  app_.endEngine();
  tray_.remove();
  releaseMovie();
  DestroyWindow(hwnd_);
}

void CMainFrame::onEndSession() {
  tray_.remove();
  releaseMovie();
  app_.endEngine();
  app_.noteWindowsEnding();
}

LRESULT CMainFrame::onCopyData(const COPYDATASTRUCT* data) {
  if (!app_.engine().current()) return 0;
  if (!data || !data->lpData || data->cbData == 0) return -1;
  const auto call = parseCopyData({static_cast<const std::uint8_t*>(data->lpData), data->cbData});
  if (!call) return -1;
  const std::optional<std::string> reply = app_.engine().callGlobal(call->function, call->arguments);
  if (!reply) return 0;
  writeCopyDataReply(call->area, *reply);
  return static_cast<LRESULT>(reply->size());
}

// The keyboard goes to the movie whenever the window becomes active.
void CMainFrame::focusMovie() {
  HWND target = host_.focusTarget();
  if (target && GetFocus() != target) SetFocus(target);
}

// ------------------------------------------------------------- the switch

LRESULT CMainFrame::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the host window covers the client area
    case WM_SIZE:
      layout();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) focusMovie();
      return 0;
    case WM_ACTIVATEAPP:
      if (wp) focusMovie();
      return 0;
    case WM_ENTERSIZEMOVE:
      sizing_ = true;
      sizingStart_ = windowRect(hwnd_);
      return 0;
    case WM_EXITSIZEMOVE:
      onExitSizeMove();
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      MSG m{hwnd_, msg, wp, lp, 0, {}};
      if (routeKey(m)) return 0;
      break;
    }
    case WM_INITMENUPOPUP:
      // The system's own item states first; ours adjust them.
      DefWindowProcW(hwnd_, msg, wp, lp);
      onInitMenuPopup(reinterpret_cast<HMENU>(wp), HIWORD(lp) != 0);
      return 0;
    case WM_COMMAND:
      if (onCommand(LOWORD(wp))) return 0;
      break;
    case WM_SYSCOMMAND:
      if (wp == ID_CONFIGURE || wp == ID_HELP_FILE || wp == ID_ABOUT || isFlashPlayerCommand(static_cast<UINT>(wp))) {
        onCommand(static_cast<UINT>(wp));
        return 0;
      }
      break;
    case WM_COPYDATA:
      return onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_TIMER:
      if (wp == kCloseRetryTimer) {
        KillTimer(hwnd_, kCloseRetryTimer);
        if (closePending_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_CLOSE:
      onClose();
      return 0;
    case kClose:
      onClose();
      return 0;
    case WM_ENDSESSION:
      if (wp) onEndSession();
      return 0;
    case WM_HELP:
      app_.openHelp();
      return TRUE;
    case kSetScaleMode:
      if (const auto mode = flashScaleMode(static_cast<std::uint32_t>(lp)); mode && control_) control_->setScaleMode(*mode);
      return 0;
    case kSetBackground:
      if (lp & 0x1) {
        const auto& c = app_.settings().misc.backgroundColor;
        if (control_) control_->setBackgroundColor((std::uint32_t{c[0]} << 16) | (std::uint32_t{c[1]} << 8) | c[2]);
        host_.setBackground(RGB(c[0], c[1], c[2]));
      }
      return 0;
    case kTrayNotify:
      if (wp == TrayIcon::kId) onTrayNotify(static_cast<UINT>(lp));
      return 0;
    case kApplyShape:
      applyShape();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kCloseRetryTimer);
      tray_.remove();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

} // namespace plumex::container
