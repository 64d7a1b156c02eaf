#include "container/window_rules.h"

#include <cmath>
#include <limits>

namespace plumex::container {
namespace {

std::int32_t clamp32(std::int64_t v) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}

std::int32_t clamp32(double v) { // truncates toward zero
  if (!(v > -2147483649.0)) return std::numeric_limits<std::int32_t>::min();
  if (!(v < 2147483648.0)) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

} // namespace

// ---------------------------------------------------------------- styles

StyleChange styleChangeForAppearance(std::uint32_t borderStyle, std::uint32_t borderIcons) {
  using namespace win;
  StyleChange c;
  c.removeStyle = kAppearanceStyleMask;
  c.removeExStyle = kAppearanceExStyleMask;

  const bool popup = (borderStyle & kBorderNone) != 0;
  if (popup) {
    c.addStyle |= kWsPopup;
    c.removeExStyle |= kWsExClientEdge;
    borderIcons &= ~(kIconHelp | kIconMinimize);
  } else if (borderStyle & kBorderSingle) {
    c.addStyle |= kWsCaption;
  } else if (borderStyle & kBorderResizable) {
    c.addStyle |= kWsCaption | kWsThickFrame;
  }
  if ((borderStyle & kBorderSmallCaption) && !popup) c.addExStyle |= kWsExToolWindow;

  if (borderIcons & kIconMaximize) c.addStyle |= kWsMaximizeBox;
  if (borderIcons & kIconMinimize) c.addStyle |= kWsMinimizeBox;
  if (borderIcons & kIconSystemMenu) c.addStyle |= kWsSysMenu;
  if (borderIcons & kIconHelp) c.addExStyle |= kWsExContextHelp;

  if (!(borderStyle & kBorderHideTaskButton)) c.addExStyle |= kWsExAppWindow;
  return c;
}

WindowStyles stylesForAppearance(WindowStyles current, std::uint32_t borderStyle,
                                 std::uint32_t borderIcons) {
  const StyleChange c = styleChangeForAppearance(borderStyle, borderIcons);
  return {(current.style & ~c.removeStyle) | c.addStyle,
          (current.exStyle & ~c.removeExStyle) | c.addExStyle};
}

// ------------------------------------------------------- system menu state

SystemMenuState systemMenuState(bool isMaximized, std::uint32_t borderStyle,
                                std::uint32_t borderIcons) {
  SystemMenuState s;
  s.restore = isMaximized;
  s.size = (borderStyle & kBorderResizable) != 0;
  s.maximize = (borderIcons & kIconMaximize) && !(borderStyle & kBorderNone);
  s.minimize = (borderIcons & kIconMinimize) != 0;
  return s;
}

// ------------------------------------------------------- size and position

Placement placeWindow(const SettingsRecord::SizeAndPos& settings, const PlacementInput& in) {
  const std::int64_t W = in.screen.width, H = in.screen.height;

  // 1. Window size.
  std::int64_t w = 0, h = 0;
  switch (settings.windowSize) {
  case 0:
  case 2:
    if (in.movie && in.movie->width > 0 && in.movie->height > 0) {
      w = std::int64_t{in.movie->width} + in.nonClient.width;
      h = std::int64_t{in.movie->height} + in.nonClient.height;
    } else {
      w = in.current.width, h = in.current.height;
    }
    break;
  case 1: w = W, h = H; break;
  case 3: w = settings.customWidth, h = settings.customHeight; break;
  case 4: { // the custom height field holds the percentage, for both sides
    const std::int64_t p = settings.customHeight;
    w = W * p / 100, h = H * p / 100;
    break;
  }
  default: break; // 0 x 0
  }

  // 2. Origin. Integer division truncates toward zero, as in C++.
  const std::int64_t dx = W - w, dy = H - h;
  Rect rect;
  std::int64_t x = 0, y = 0;
  bool keep = false;
  switch (settings.pos) {
  case 0: break;
  case 1: x = dx / 2; break;
  case 2: x = dx; break;
  case 3: y = dy / 2; break;
  case 4: x = dx / 2, y = dy / 2; break;
  case 5: x = dx, y = dy / 2; break;
  case 6: y = dy; break;
  case 7: x = dx / 2, y = dy; break;
  case 8: x = dx, y = dy; break;
  case 9: x = settings.customLeft, y = settings.customTop; break;
  case 10: x = W * settings.customLeft / 100, y = H * settings.customTop / 100; break;
  default: keep = true; break; // the current rectangle, origin and size alike
  }
  rect = keep ? in.current : Rect{clamp32(x), clamp32(y), clamp32(w), clamp32(h)};

  // 3. Move and show.
  switch (settings.windowSize) {
  case 0:
  case 3:
  case 4: return {rect, PlacementAction::MoveRepaintShow};
  case 1: return {{0, 0, clamp32(W), clamp32(H)}, PlacementAction::FullScreenShow};
  case 2: return {rect, PlacementAction::MoveShowMaximized};
  default: return {in.current, PlacementAction::ShowOnly};
  }
}

float aspectRatio(Size client) {
  if (client.height <= 0) return 0.0f;
  return static_cast<float>(client.width) / static_cast<float>(client.height);
}

// ------------------------------------------------------------ keep ratio

std::optional<Rect> keepRatioRect(bool keepRatio, float ratio, const Rect& start, const Rect& end,
                                  Size client) {
  if (!keepRatio || ratio == 0.0f || !std::isfinite(ratio)) return std::nullopt;
  const double r = ratio;
  Rect out = end;
  if (end.width == start.width) {
    const std::int64_t nonClientWidth = std::int64_t{end.width} - client.width;
    out.width = clamp32(static_cast<double>(nonClientWidth) + client.height * r);
  } else {
    const std::int64_t nonClientHeight = std::int64_t{end.height} - client.height;
    out.height = clamp32(static_cast<double>(nonClientHeight) + client.width / r);
  }
  return out;
}

// -------------------------------------------------------------- keyboard

bool closesWindow(const SettingsRecord::Interaction& in, std::uint32_t vk, bool shift, bool ctrl,
                  bool alt) {
  if ((in.exitKeys & 0x1) && vk == win::kVkEscape) return true;
  if (!(in.exitKeys & 0x10) || in.hotKeyVk == 0 || vk != in.hotKeyVk) return false;
  const std::uint16_t m = in.hotKeyModifiers;
  if ((m & 0x4) && !alt) return false;
  if ((m & 0x2) && !ctrl) return false;
  if ((m & 0x1) && !shift) return false;
  return true;
}

bool keysReachMovie(std::uint32_t keyPress) { return !(keyPress & 0x10); }

// ------------------------------------------------------------------ mouse

MouseRoute routeMouse(const SettingsRecord::Interaction& in, MouseEvent event,
                      const MouseContext& context) {
  MouseRoute r;
  switch (event) {
  case MouseEvent::LeftDown:
  case MouseEvent::LeftUp:
  case MouseEvent::LeftDouble:
  case MouseEvent::Move:
    if (in.lBtnClk == 1) {
      if (event == MouseEvent::LeftDown) {
        if (context.inDragArea) r.drag = DragStep::Arm; // and still delivered
      } else if (event == MouseEvent::LeftUp) {
        if (context.dragArmed) r.drag = DragStep::End; // delivered
      } else if (event == MouseEvent::LeftDouble) {
        r.deliver = false;
      } else if (context.dragArmed) { // a move
        if (context.leftHeld) r.drag = DragStep::Move, r.deliver = false;
        else r.drag = DragStep::End; // delivered
      }
    } else {
      if (in.lBtnClk == 2 && event != MouseEvent::Move) r.deliver = false;
      if (context.dragArmed) r.drag = DragStep::End; // lBtnClk changed while dragging
    }
    return r;

  case MouseEvent::RightDown:
    if (in.rBtnClk == 1) {
      r.deliver = false, r.showContextMenu = true;
    } else if (in.rBtnClk == 2) {
      r.deliver = false, r.sendLeftClick = true, r.deliverIfCaptured = true;
    }
    break;
  case MouseEvent::RightUp: r.deliver = in.rBtnClk == 0; break;
  case MouseEvent::RightDouble: r.deliver = in.rBtnClk != 2; break;
  }
  if (context.dragArmed && in.lBtnClk != 1) r.drag = DragStep::End;
  return r;
}

Rect dragRect(const Rect& atPress, Point cursorAtPress, Point cursorNow) {
  Rect r = atPress;
  r.left = clamp32(std::int64_t{atPress.left} + cursorNow.x - cursorAtPress.x);
  r.top = clamp32(std::int64_t{atPress.top} + cursorNow.y - cursorAtPress.y);
  return r;
}

// ------------------------------------------------------------------ menus

std::vector<MenuEntry> contextMenuEntries(std::uint32_t contextMenu) {
  std::vector<MenuEntry> out;
  const std::uint32_t items = contextMenu & kMenuItems;
  if ((contextMenu & kMenuNoExtend) || items == 0) return out;
  out.push_back({MenuEntryKind::Separator, 0});
  if (items & kMenuFlashPlayer) out.push_back({MenuEntryKind::FlashPlayerPopup, 0});
  if (items & kMenuConfigure) out.push_back({MenuEntryKind::Command, kIdConfig});
  if (items & kMenuHelp) out.push_back({MenuEntryKind::Command, kIdHelp});
  if (items & kMenuAbout) {
    if (items != kMenuAbout) out.push_back({MenuEntryKind::Separator, 0});
    out.push_back({MenuEntryKind::Command, kIdAbout});
  }
  return out;
}

std::vector<MenuEntry> trayMenuEntries(std::uint32_t contextMenu) {
  std::vector<MenuEntry> out{{MenuEntryKind::TrayToggle, kIdTrayToggle}};
  const std::vector<MenuEntry> middle = contextMenuEntries(contextMenu);
  out.insert(out.end(), middle.begin(), middle.end());
  out.push_back({MenuEntryKind::Separator, 0});
  out.push_back({MenuEntryKind::TrayClose, 0});
  return out;
}

const char* defaultCaption(std::uint32_t id) {
  switch (id) {
  case kIdConfig: return "Config...";
  case kIdHelp: return "Help";
  case kIdAbout: return "About...";
  default: return "";
  }
}

TrayToggle trayToggle(WindowState state) {
  switch (state) {
  case WindowState::Hidden: return TrayToggle::Show;
  case WindowState::Normal: return TrayToggle::MinimizeAndHide;
  case WindowState::Minimized: break;
  }
  return TrayToggle::Restore;
}

std::string trayToggleCaption(WindowState state, const std::string& caption) {
  switch (trayToggle(state)) {
  case TrayToggle::Show: return "Show " + caption;
  case TrayToggle::MinimizeAndHide: return "Hide " + caption;
  case TrayToggle::Restore: break;
  }
  return "Restore " + caption;
}

bool isFlashPlayerCommand(std::uint32_t id) {
  return id == 20025 || id == 20030 || (id >= 20034 && id <= 20037) ||
         (id >= 20039 && id <= 20044) || id == 20046;
}

std::optional<int> flashScaleMode(std::uint32_t scaleMode) {
  switch (scaleMode) {
  case 1: return 0;
  case 2: return 1;
  case 256: return 2;
  case 16: return 3;
  default: return std::nullopt;
  }
}

} // namespace plumex::container
