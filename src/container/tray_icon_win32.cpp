#include "container/tray_icon_win32.h"

#include <shellapi.h>

#include <algorithm>

namespace plumex::container {
namespace {

void copyText(wchar_t* out, std::size_t capacity, const std::wstring& text) {
  const std::size_t n = std::min(text.size(), capacity - 1);
  text.copy(out, n);
  out[n] = L'\0';
}

NOTIFYICONDATAW dataFor(HWND window) {
  NOTIFYICONDATAW d{};
  // The size every shell version since 5.0 reads, balloons included.
  d.cbSize = NOTIFYICONDATAW_V2_SIZE;
  d.hWnd = window;
  d.uID = TrayIcon::kId;
  return d;
}

} // namespace

void TrayIcon::replaceIcon(HICON icon) {
  if (icon_ && icon_ != icon) DestroyIcon(icon_);
  icon_ = icon;
}

bool TrayIcon::add(HWND window, HICON icon, const std::wstring& tip) {
  if (shown_) return modify(icon, tip);
  window_ = window;
  replaceIcon(icon);
  tip_ = tip;
  NOTIFYICONDATAW d = dataFor(window_);
  d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  d.uCallbackMessage = kCallbackMessage;
  d.hIcon = icon_;
  copyText(d.szTip, 128, tip_);
  shown_ = Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
  return shown_;
}

bool TrayIcon::modify(HICON icon, const std::wstring& tip) {
  replaceIcon(icon);
  tip_ = tip;
  if (!shown_) return false;
  NOTIFYICONDATAW d = dataFor(window_);
  d.uFlags = NIF_ICON | NIF_TIP;
  d.hIcon = icon_;
  copyText(d.szTip, 128, tip_);
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

void TrayIcon::remove() {
  if (shown_) {
    NOTIFYICONDATAW d = dataFor(window_);
    Shell_NotifyIconW(NIM_DELETE, &d);
    shown_ = false;
  }
  replaceIcon(nullptr);
}

bool TrayIcon::balloon(const std::wstring& title, const std::wstring& text, UINT timeoutMs, int kind) {
  if (!shown_) return false;
  NOTIFYICONDATAW d = dataFor(window_);
  d.uFlags = NIF_INFO;
  copyText(d.szInfo, 256, text);
  copyText(d.szInfoTitle, 64, title);
  d.uTimeout = timeoutMs;
  d.dwInfoFlags = kind == 1 ? NIIF_INFO : kind == 2 ? NIIF_WARNING : kind == 3 ? NIIF_ERROR : NIIF_NONE;
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

} // namespace plumex::container
