#pragma once
// The projector window's decisions, kept free of Win32 so that
// they are tested natively: window styles from the Appearance group, the
// state of the system menu's items, size and position, keep-ratio resizing,
// exit keys, mouse routing, and the entries of the context and tray menus.
// The Win32 window code only carries the results out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/settings_record.h"

namespace plumex::container {

// Win32 bit values, spelled here so that this header needs no <windows.h>.
// The Win32 side static_asserts that they equal the system's.
namespace win {
constexpr std::uint32_t kWsPopup = 0x80000000u;
constexpr std::uint32_t kWsCaption = 0x00C00000u;
constexpr std::uint32_t kWsSysMenu = 0x00080000u;
constexpr std::uint32_t kWsThickFrame = 0x00040000u;
constexpr std::uint32_t kWsMinimizeBox = 0x00020000u;
constexpr std::uint32_t kWsMaximizeBox = 0x00010000u;
constexpr std::uint32_t kWsExTransparent = 0x00000020u;
constexpr std::uint32_t kWsExToolWindow = 0x00000080u;
constexpr std::uint32_t kWsExClientEdge = 0x00000200u;
constexpr std::uint32_t kWsExContextHelp = 0x00000400u;
constexpr std::uint32_t kWsExAppWindow = 0x00040000u;
constexpr std::uint16_t kVkEscape = 0x1B;
constexpr std::uint16_t kVkApps = 0x5D; // the Application key: opens the context menu
} // namespace win

// Appearance flags.
constexpr std::uint32_t kBorderNone = 0x1, kBorderSingle = 0x10, kBorderResizable = 0x100,
                        kBorderSmallCaption = 0x1000, kBorderHideTaskButton = 0x10000;
constexpr std::uint32_t kIconMaximize = 0x1, kIconMinimize = 0x10, kIconSystemMenu = 0x100,
                        kIconHelp = 0x1000;

// The bits "Styles from Appearance" removes before adding its own.
constexpr std::uint32_t kAppearanceStyleMask = 0x80CF0000u;
constexpr std::uint32_t kAppearanceExStyleMask = 0x000404A0u;

// ---------------------------------------------------------------- styles

struct WindowStyles {
  std::uint32_t style = 0, exStyle = 0;
  friend bool operator==(const WindowStyles&, const WindowStyles&) = default;
};

// The same result as bits to remove and bits to add (ModifyStyle and
// ModifyStyleEx: new = (old & ~remove) | add).
struct StyleChange {
  std::uint32_t removeStyle = 0, addStyle = 0, removeExStyle = 0, addExStyle = 0;
  friend bool operator==(const StyleChange&, const StyleChange&) = default;
};

StyleChange styleChangeForAppearance(std::uint32_t borderStyle, std::uint32_t borderIcons);
WindowStyles stylesForAppearance(WindowStyles current, std::uint32_t borderStyle,
                                 std::uint32_t borderIcons);

// ------------------------------------------------------- system menu state

// Which items of the system menu are enabled when the runtime shows it as
// its context menu (SC_RESTORE, SC_SIZE, SC_MAXIMIZE, SC_MINIMIZE).
struct SystemMenuState {
  bool restore = false, size = false, maximize = false, minimize = false;
  friend bool operator==(const SystemMenuState&, const SystemMenuState&) = default;
};

SystemMenuState systemMenuState(bool isMaximized, std::uint32_t borderStyle,
                                std::uint32_t borderIcons);

// ------------------------------------------------------- size and position

struct Rect {
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
  std::int32_t width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

enum class PlacementAction {
  MoveRepaintShow,     // move to `rect` repainting, then SW_SHOW (size modes 0, 3, 4)
  FullScreenShow,      // move to (0, 0, W, H) = `rect` repainting, then SW_SHOW (mode 1)
  MoveShowMaximized,   // move to `rect` without repainting, then SW_SHOWMAXIMIZED (mode 2)
  ShowOnly,            // SW_SHOW only (any other size mode); `rect` is the current one
};

struct Placement {
  Rect rect;
  PlacementAction action = PlacementAction::ShowOnly;
  friend bool operator==(const Placement&, const Placement&) = default;
};

struct PlacementInput {
  Size screen;                      // the primary screen, W x H
  std::optional<Size> movie;        // the movie's frame size; absent or not positive: unknown
  Size nonClient;                   // window size minus client size
  Rect current;                     // the window's current rectangle
};

// Size and position by the settings. Arithmetic is
// done in 64 bits; results beyond the 32-bit range are clamped to it.
Placement placeWindow(const SettingsRecord::SizeAndPos& settings, const PlacementInput& in);

// The aspect ratio recorded after the runtime sized the window: client
// width / client height, or 0 when the height is not positive.
float aspectRatio(Size client);

// ------------------------------------------------------------ keep ratio

// At WM_EXITSIZEMOVE: the rectangle to move the window to (repainting), or
// nothing when keep ratio is off or the ratio is 0 (or not finite). `start`
// is the window rectangle saved at WM_ENTERSIZEMOVE, `end` the current one
// and `client` the current client size. The products are computed in double
// from the float ratio, then truncated toward zero.
std::optional<Rect> keepRatioRect(bool keepRatio, float ratio, const Rect& start, const Rect& end,
                                  Size client);

// -------------------------------------------------------------- keyboard

// On key release: true when the key closes the window (Esc with exitKeys
// 0x1; the hot key with exitKeys 0x10, its virtual key and the modifiers it
// requires held, others not examined). A hot key of virtual key 0 is none.
bool closesWindow(const SettingsRecord::Interaction& in, std::uint32_t vk, bool shift, bool ctrl,
                  bool alt);

// Key messages reach the movie unless keyPress has 0x10 ("$KPIGNORE").
bool keysReachMovie(std::uint32_t keyPress);

// ------------------------------------------------------------------ mouse

enum class MouseEvent {
  LeftDown, LeftUp, LeftDouble,
  RightDown, RightUp, RightDouble,
  Move, // WM_MOUSEMOVE; see MouseContext::leftHeld
};

struct MouseContext {
  bool leftHeld = false;     // for Move: MK_LBUTTON is set
  bool inDragArea = true;    // the point lies inside the drag region, or there is none
  bool dragArmed = false;    // a drag press was seen and not yet ended
};

enum class DragStep {
  None,
  Arm,  // record the cursor position and the window rectangle, capture the mouse
  Move, // offset the window by the cursor's travel since the press (dragOrigin)
  End,  // stop dragging and release the capture
};

struct MouseRoute {
  bool deliver = true;           // hand the message on to the control
  DragStep drag = DragStep::None;
  bool showContextMenu = false;  // WM_INITMENUPOPUP, then the system menu at the cursor
  // Right button "ignore": hand a left press and release at the same point
  // to the control's own window procedure first; then deliver the right
  // press only if the control holds the mouse capture (deliver is false).
  bool sendLeftClick = false;
  bool deliverIfCaptured = false;
  friend bool operator==(const MouseRoute&, const MouseRoute&) = default;
};

// Routes one mouse message arriving at the control's window by lBtnClk and
// rBtnClk. A drag still armed when lBtnClk is no longer 1 is ended at the
// next message.
MouseRoute routeMouse(const SettingsRecord::Interaction& in, MouseEvent event,
                      const MouseContext& context);

struct Point {
  std::int32_t x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Where dragging moves the window: the rectangle recorded at the press,
// offset by the cursor's travel since the press.
Rect dragRect(const Rect& atPress, Point cursorAtPress, Point cursorNow);

// ------------------------------------------------------------------ menus

constexpr std::uint32_t kIdConfig = 32777, kIdHelp = 32778, kIdAbout = 32780,
                        kIdTrayToggle = 32784;
// Context-menu item bits of the Behaviour group.
constexpr std::uint32_t kMenuConfigure = 0x1, kMenuNoExtend = 0x2, kMenuFlashPlayer = 0x10,
                        kMenuAbout = 0x100, kMenuHelp = 0x1000, kMenuItems = 0x1111;

enum class MenuEntryKind {
  Separator,
  FlashPlayerPopup, // a copy of the first popup of menu resource 130, with its caption
  Command,          // `id` with its caption from menu resource 130 (defaultCaption)
  TrayToggle,       // kIdTrayToggle: "Show ", "Hide " or "Restore " + caption; the default item
  TrayClose,        // the close item (menu resource 133, third item): WM_CLOSE
};

struct MenuEntry {
  MenuEntryKind kind = MenuEntryKind::Separator;
  std::uint32_t id = 0; // Command and TrayToggle only
  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// The entries appended to the system menu after the items it had when the
// window was created. Empty when bit 0x2 is set or no item is requested.
std::vector<MenuEntry> contextMenuEntries(std::uint32_t contextMenu);

// The tray popup: the toggle item, the context-menu entries above (which
// start with their separator when there are any), a separator, close.
std::vector<MenuEntry> trayMenuEntries(std::uint32_t contextMenu);

// English captions of the command items, for when the resource lacks them.
const char* defaultCaption(std::uint32_t id);

// Hidden: not visible (whatever else); Minimized: visible and iconic.
enum class WindowState { Hidden, Normal, Minimized };
enum class TrayToggle { Show, MinimizeAndHide, Restore };

// The tray toggle (left double click, or the item 32784) by window state.
TrayToggle trayToggle(WindowState state);
// The toggle item's caption: "Show ", "Hide " or "Restore " + caption.
std::string trayToggleCaption(WindowState state, const std::string& caption);

// Flash Player command IDs (20025, 20030, 20034-20037, 20039-20044, 20046):
// forwarded to the control as WM_COMMAND.
bool isFlashPlayerCommand(std::uint32_t id);

// Message 34769: the Flash control's scale mode for an Appearance scale
// mode (1 -> 0, 2 -> 1, 256 -> 2, 16 -> 3), nothing for other values.
std::optional<int> flashScaleMode(std::uint32_t scaleMode);

} // namespace plumex::container
