#pragma once
// The projector window. For now it takes its caption from the settings and
// closes cleanly; the movie host and the window behaviours fill it in.

#include <windows.h>

#include <string>

namespace plumex::container {

class MainFrame {
public:
  static constexpr const wchar_t* kClassName = L"PlumexProjector";

  MainFrame(HINSTANCE instance, HWND owner, const std::string& caption);
  ~MainFrame();
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  HWND hwnd() const { return hwnd_; }
  void show(int command);

private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
};

} // namespace plumex::container
