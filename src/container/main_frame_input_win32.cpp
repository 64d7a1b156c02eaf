// Input bound for the projector window or the movie, before it is
// translated: accelerators, exit keys, swallowed keys, and the mouse rules
// that let the movie drag the window or show the context menu.

#include "container/main_frame_win32.h"

#include "container/projector_app_win32.h"

namespace plumex::container {
namespace {

bool held(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

bool isKeyMessage(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

std::optional<MouseEvent> mouseEventOf(UINT m) {
  switch (m) {
    case WM_LBUTTONDOWN: return MouseEvent::LeftDown;
    case WM_LBUTTONUP: return MouseEvent::LeftUp;
    case WM_LBUTTONDBLCLK: return MouseEvent::LeftDouble;
    case WM_RBUTTONDOWN: return MouseEvent::RightDown;
    case WM_RBUTTONUP: return MouseEvent::RightUp;
    case WM_RBUTTONDBLCLK: return MouseEvent::RightDouble;
    case WM_MOUSEMOVE: return MouseEvent::Move;
  }
  return std::nullopt;
}

} // namespace

bool CMainFrame::inHostTree(HWND window) const {
  return host_.hwnd() && (window == host_.hwnd() || IsChild(host_.hwnd(), window));
}

bool CMainFrame::preTranslate(MSG& msg) {
  if (!hwnd_) return false;
  if (isKeyMessage(msg.message) && accelerators_ && (msg.hwnd == hwnd_ || inHostTree(msg.hwnd)) &&
      TranslateAcceleratorW(hwnd_, accelerators_, &msg))
    return true;
  if (!inHostTree(msg.hwnd)) return false;
  if (isKeyMessage(msg.message)) return routeKey(msg);
  return routeMouse(msg);
}

bool CMainFrame::routeKey(const MSG& msg) {
  const SettingsRecord::Interaction& in = app_.settings().interaction;
  const bool release = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
  if (release && closesWindow(in, static_cast<std::uint32_t>(msg.wParam), held(VK_SHIFT), held(VK_CONTROL),
                              held(VK_MENU)))
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  if (msg.hwnd == hwnd_) return false;
  if (release && msg.wParam == VK_APPS) {
    POINT at{};
    GetCursorPos(&at);
    showSystemMenuAt(at);
    return true;
  }
  return !keysReachMovie(in.keyPress);
}

bool CMainFrame::routeMouse(MSG& msg) {
  const auto event = mouseEventOf(msg.message);
  if (!event) return false;
  MouseContext context;
  context.leftHeld = (msg.wParam & MK_LBUTTON) != 0;
  context.dragArmed = dragArmed_;
  if (const HRGN region = app_.dragRegion()) {
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(hwnd_, &at);
    context.inDragArea = PtInRegion(region, at.x, at.y) != FALSE;
  }
  const MouseRoute route = container::routeMouse(app_.settings().interaction, *event, context);
  switch (route.drag) {
    case DragStep::None:
      break;
    case DragStep::Arm:
      GetCursorPos(&dragCursor_);
      {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        dragWindow_ = {r.left, r.top, r.right - r.left, r.bottom - r.top};
      }
      SetCapture(msg.hwnd);
      dragArmed_ = true;
      break;
    case DragStep::Move: {
      POINT now{};
      GetCursorPos(&now);
      const Rect r = dragRect(dragWindow_, {dragCursor_.x, dragCursor_.y}, {now.x, now.y});
      SetWindowPos(hwnd_, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case DragStep::End:
      dragArmed_ = false;
      if (GetCapture() == msg.hwnd) ReleaseCapture();
      break;
  }
  if (route.showContextMenu) {
    POINT at{};
    GetCursorPos(&at);
    showSystemMenuAt(at);
  }
  if (route.sendLeftClick) {
    // Straight to the control, past these rules: a left click at the point.
    SendMessageW(msg.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, msg.lParam);
    SendMessageW(msg.hwnd, WM_LBUTTONUP, 0, msg.lParam);
    if (route.deliverIfCaptured) return GetCapture() != msg.hwnd;
  }
  return !route.deliver;
}

} // namespace plumex::container
