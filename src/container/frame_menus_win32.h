#pragma once
// The menus of the projector window: the items the context-menu settings
// add to its system menu, the tray popup, and the state of the Flash
// Player submenu when it is about to be shown. Captions come from the
// runtime's menu resources.

#include <windows.h>

#include <cstdint>
#include <string>

#include "container/movie_control.h"
#include "container/window_rules.h"

namespace plumex::container {

class FrameMenus {
public:
  explicit FrameMenus(HINSTANCE instance) : instance_(instance) {}

  // Remembers how many items the window's system menu has at creation:
  // rebuilding removes only what comes after them.
  void attach(HWND frame);
  void rebuildSystemMenu(HWND frame, std::uint32_t contextMenu) const;

  // A popup for the tray icon; the caller destroys it.
  HMENU trayMenu(std::uint32_t contextMenu, WindowState state, const std::string& caption) const;

  // Whether `menu` is a copy of the Flash Player submenu, and its items'
  // state for the control's state.
  static bool isPlayerMenu(HMENU menu);
  static void updatePlayerMenu(HMENU menu, const PlayerState& state);

private:
  void append(HMENU target, const MenuEntry& entry) const;
  std::wstring captionOf(std::uint32_t id) const;

  HINSTANCE instance_;
  int systemItems_ = 0;
};

} // namespace plumex::container
