#pragma once
// The host window (ID 1113): the child that fills the projector's client
// area and holds the movie control. Without a control it paints the
// background colour so the window looks as it will around a movie.

#include <windows.h>

namespace plumex::container {

class HostWindow {
public:
  static constexpr int kId = 1113;
  static constexpr const wchar_t* kClassName = L"PlumexHost";

  HostWindow() = default;
  ~HostWindow() { destroy(); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool create(HINSTANCE instance, HWND parent);
  void destroy();
  HWND hwnd() const { return hwnd_; }

  // The window that takes the keyboard focus: the control's when it has
  // one, else the host itself.
  HWND focusTarget() const { return control_ ? control_ : hwnd_; }
  void setControlWindow(HWND control) { control_ = control; }

  void setBackground(COLORREF colour);

private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  HWND control_ = nullptr;
  HBRUSH background_ = nullptr;
};

} // namespace plumex::container
