#pragma once
// The projector's icon in the taskbar's notification area: added, changed,
// removed, and its balloon. Removed when the object goes.

#include <windows.h>

#include <string>

namespace plumex::container {

class TrayIcon {
public:
  static constexpr UINT kId = 128;
  static constexpr UINT kCallbackMessage = 34771;

  TrayIcon() = default;
  ~TrayIcon() { remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Takes the icon over (destroyed when replaced or removed). The tooltip
  // keeps at most 127 characters.
  bool add(HWND window, HICON icon, const std::wstring& tip);
  bool modify(HICON icon, const std::wstring& tip);
  void remove();
  // kind: 1 info, 2 warning, 3 error, else none.
  bool balloon(const std::wstring& title, const std::wstring& text, UINT timeoutMs, int kind);

  bool shown() const { return shown_; }

private:
  void replaceIcon(HICON icon);

  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool shown_ = false;
};

} // namespace plumex::container
