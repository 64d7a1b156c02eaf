#include "container/main_frame_win32.h"

#include "platform/ansi_text.h"

namespace plumex::container {

MainFrame::MainFrame(HINSTANCE instance, HWND owner, const std::string& caption) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(128));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  const std::u16string title = ansiToUtf16(caption);
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, reinterpret_cast<const wchar_t*>(title.c_str()),
                          WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, owner, nullptr, instance, this);
}

MainFrame::~MainFrame() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainFrame::show(int command) {
  ShowWindow(hwnd_, command);
  UpdateWindow(hwnd_);
}

LRESULT CALLBACK MainFrame::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainFrame::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_COPYDATA:
    // No script engine runs yet: the call cannot be answered.
    return 0;
  case WM_DESTROY:
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

} // namespace plumex::container
