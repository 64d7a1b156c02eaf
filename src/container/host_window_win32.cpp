#include "container/host_window_win32.h"

namespace plumex::container {

bool HostWindow::create(HINSTANCE instance, HWND parent) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  hwnd_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0, 0, 0, 0,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), instance, this);
  return hwnd_ != nullptr;
}

void HostWindow::destroy() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  control_ = nullptr;
  if (background_) DeleteObject(background_);
  background_ = nullptr;
}

void HostWindow::setBackground(COLORREF colour) {
  if (background_) DeleteObject(background_);
  background_ = CreateSolidBrush(colour);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK HostWindow::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<HostWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r,
               self && self->background_ ? self->background_ : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      return 1;
    }
    case WM_MOUSEACTIVATE:
      SetFocus(hwnd);
      return MA_ACTIVATE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (self) self->hwnd_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace plumex::container
