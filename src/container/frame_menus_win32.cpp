#include "container/frame_menus_win32.h"

#include "container/player_menu.h"
#include "platform/wide_text_win32.h"
#include "resources/resource_ids.h"

namespace plumex::container {
namespace {

// A menu resource, destroyed with the object.
class LoadedMenu {
public:
  LoadedMenu(HINSTANCE instance, int id) : menu_(LoadMenuW(instance, MAKEINTRESOURCEW(id))) {}
  ~LoadedMenu() {
    if (menu_) DestroyMenu(menu_);
  }
  LoadedMenu(const LoadedMenu&) = delete;
  LoadedMenu& operator=(const LoadedMenu&) = delete;
  HMENU get() const { return menu_; }

private:
  HMENU menu_;
};

std::wstring menuString(HMENU menu, UINT item, UINT flags) {
  wchar_t text[256] = {};
  if (!menu || GetMenuStringW(menu, item, text, 256, flags) <= 0) return {};
  return text;
}

} // namespace

void FrameMenus::attach(HWND frame) { systemItems_ = GetMenuItemCount(GetSystemMenu(frame, FALSE)); }

std::wstring FrameMenus::captionOf(std::uint32_t id) const {
  const LoadedMenu menu(instance_, IDR_CONTEXT_MENU);
  std::wstring caption = menuString(menu.get(), id, MF_BYCOMMAND);
  return caption.empty() ? widen(defaultCaption(id)) : caption;
}

void FrameMenus::append(HMENU target, const MenuEntry& entry) const {
  switch (entry.kind) {
    case MenuEntryKind::Separator:
      AppendMenuW(target, MF_SEPARATOR, 0, nullptr);
      break;
    case MenuEntryKind::FlashPlayerPopup: {
      // The first popup of the resource, detached from its menu so that it
      // lives on in the target.
      const LoadedMenu menu(instance_, IDR_CONTEXT_MENU);
      HMENU popup = menu.get() ? GetSubMenu(menu.get(), 0) : nullptr;
      if (!popup) break;
      const std::wstring caption = menuString(menu.get(), 0, MF_BYPOSITION);
      RemoveMenu(menu.get(), 0, MF_BYPOSITION);
      AppendMenuW(target, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
      break;
    }
    case MenuEntryKind::Command:
      AppendMenuW(target, MF_STRING, entry.id, captionOf(entry.id).c_str());
      break;
    case MenuEntryKind::TrayToggle:
    case MenuEntryKind::TrayClose:
      break;  // the tray menu adds these itself
  }
}

void FrameMenus::rebuildSystemMenu(HWND frame, std::uint32_t contextMenu) const {
  HMENU menu = GetSystemMenu(frame, FALSE);
  if (!menu) return;
  for (int n = GetMenuItemCount(menu); n > systemItems_; --n) DeleteMenu(menu, n - 1, MF_BYPOSITION);
  for (const MenuEntry& entry : contextMenuEntries(contextMenu)) append(menu, entry);
}

HMENU FrameMenus::trayMenu(std::uint32_t contextMenu, WindowState state, const std::string& caption) const {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  const LoadedMenu tray(instance_, IDR_TRAY_MENU);
  for (const MenuEntry& entry : trayMenuEntries(contextMenu)) {
    if (entry.kind == MenuEntryKind::TrayToggle) {
      AppendMenuW(menu, MF_STRING, ID_TRAY_TOGGLE, widen(trayToggleCaption(state, caption)).c_str());
      SetMenuDefaultItem(menu, ID_TRAY_TOGGLE, FALSE);
    } else if (entry.kind == MenuEntryKind::TrayClose) {
      HMENU popup = tray.get() ? GetSubMenu(tray.get(), 0) : nullptr;
      std::wstring close = menuString(popup, 2, MF_BYPOSITION);
      AppendMenuW(menu, MF_STRING, ID_APP_EXIT, close.empty() ? L"Close" : close.c_str());
    } else {
      append(menu, entry);
    }
  }
  return menu;
}

bool FrameMenus::isPlayerMenu(HMENU menu) {
  return GetMenuState(menu, ID_FP_PLAY, MF_BYCOMMAND) != static_cast<UINT>(-1) &&
         GetMenuState(menu, ID_FP_ZOOM_IN, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

void FrameMenus::updatePlayerMenu(HMENU menu, const PlayerState& state) {
  for (const PlayerMenuItem& item : playerMenuItems(state)) {
    EnableMenuItem(menu, item.id, MF_BYCOMMAND | (item.enabled ? MF_ENABLED : MF_GRAYED));
    if (item.check != PlayerMenuItem::Check::Keep)
      CheckMenuItem(menu, item.id, MF_BYCOMMAND | (item.check == PlayerMenuItem::Check::On ? MF_CHECKED : MF_UNCHECKED));
  }
}

} // namespace plumex::container
