#pragma once
// The projector window: styles, size and position from the settings, the
// host window of the movie control filling its client area, input routing
// between the window and the movie, exit keys, the context and tray menus,
// keep-ratio resizing, restrictions, and calls from other processes.

#include <windows.h>

#include <deque>
#include <memory>
#include <string>

#include "container/frame_menus_win32.h"
#include "container/host_window_win32.h"
#include "container/option_groups.h"
#include "container/tray_icon_win32.h"
#include "container/window_rules.h"

namespace plumex::container {

class ProjectorApp;
class MovieControl;
class ScriptCommandHandler;

class CMainFrame final : public OptionGroupHost {
public:
  static constexpr const wchar_t* kClassName = L"PlumexProjector";
  // Private messages of the window.
  static constexpr UINT kSetScaleMode = 34769, kSetBackground = 34770, kTrayNotify = 34771,
                        kApplyShape = 32778, kClose = 32868;

  CMainFrame(ProjectorApp& app, HWND owner);
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  HWND hwnd() const { return hwnd_; }
  HostWindow& host() { return host_; }

  // Where the movie host and the Menu class plug in; either may be none.
  void setMovieControl(MovieControl* control) { control_ = control; }
  void setScriptCommands(ScriptCommandHandler* handler) { scriptCommands_ = handler; }

  // Before the message is translated: accelerators, then input bound for
  // the window or the movie. True when it was consumed.
  bool preTranslate(MSG& msg);

  // Styles, caption and scale mode; shows the window again when it was
  // visible.
  void applyAppearance();
  // Size and position for the movie at `moviePath` (empty: none), then the
  // aspect ratio.
  void applySizeAndPosition(const std::string& moviePath);
  void applyTopmostAndMinimized(bool show);
  void applyBackground();
  void setNoMovie(bool none) { noMovie_ = none; }
  bool hasMovie() const { return !noMovie_; }
  void recordAspectRatio();

  // Names of packaged modules to run, one per idle pass.
  std::deque<std::string>& deferredRuns() { return deferredRuns_; }

  // The status bar (hidden until scripts ask for it).
  HWND statusBar() const { return statusBar_; }

  // OptionGroupHost
  void applyShape() override;
  void applyStyles() override { applyAppearance(); }
  void applyScaleMode() override;
  void applyCaption() override;
  bool setIcon(const std::string& path) override;
  void changeRestrictions(std::uint32_t previous) override;
  void rebuildContextMenu() override;
  void applyTopmostAndMinimized() override { applyTopmostAndMinimized(true); }
  void showTrayIcon(bool shown) override;
  void applySizeAndPosition() override;
  std::string keyName(std::uint16_t vk, bool extended) override;

private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

  void layout();
  void focusMovie();
  bool onCommand(UINT id);
  void onClose();
  void onEndSession();
  void releaseMovie();
  LRESULT onCopyData(const COPYDATASTRUCT* data);
  void onTrayNotify(UINT mouseMessage);
  void toggleFromTray();
  void showSystemMenuAt(POINT screen);
  void onInitMenuPopup(HMENU menu, bool systemMenu);
  void onExitSizeMove();
  void openMovie();
  WindowState state() const;

  // Input for the window or the host window's tree.
  bool routeKey(const MSG& msg);
  bool routeMouse(MSG& msg);
  bool inHostTree(HWND window) const;

  ProjectorApp& app_;
  HWND hwnd_ = nullptr;
  HostWindow host_;
  HWND statusBar_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HICON classIcon_ = nullptr;
  FrameMenus menus_;
  TrayIcon tray_;
  MovieControl* control_ = nullptr;
  ScriptCommandHandler* scriptCommands_ = nullptr;
  std::deque<std::string> deferredRuns_;

  bool noMovie_ = false;
  bool closePending_ = false;
  bool closed_ = false;
  bool sizing_ = false;
  Rect sizingStart_;
  float aspectRatio_ = 0;
  // Set while the runtime itself shows the system menu as a popup.
  bool ownSystemMenu_ = false;
  // Dragging the window by the movie.
  bool dragArmed_ = false;
  POINT dragCursor_{};
  Rect dragWindow_;
};

} // namespace plumex::container
