// inspector: a console program that end-to-end tests run under Wine to look
// at another program's windows from outside and to drive them.
//
//   inspector list
//   inspector wait       WINDOW [--timeout MS]
//   inspector info       WINDOW [--timeout MS]
//   inspector msgbox     [--title CAPTION] [--press BUTTON] [--timeout MS]
//   inspector copydata   WINDOW --call FUNCTION [--arg TEXT]... [--timeout MS]
//   inspector post       WINDOW --msg N [--wparam N] [--lparam N]
//   inspector screenshot (WINDOW | --screen) --out FILE.png [--timeout MS]
//   inspector tray       [--timeout MS]
//
// WINDOW is --class NAME, --title TEXT (both may be given) or --hwnd N.
// Output is "key: value" lines in UTF-8. Exit status: 0 done, 1 not found or
// failed, 2 bad usage.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "png_writer.h"

namespace {

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::string ansiToUtf8(const char* text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), n);
  return toUtf8(w);
}

std::string wideToAnsi(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

void out(const char* key, const std::string& value) {
  std::printf("%s: %s\n", key, value.c_str());
}

std::string hex(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", v);
  return buf;
}

std::string handleText(HWND h) { return hex(reinterpret_cast<std::uintptr_t>(h)); }

std::wstring windowClass(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

std::wstring windowText(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(h, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return s;
}

struct Options {
  std::wstring command;
  std::optional<std::wstring> className, title, press, outFile, call;
  std::optional<HWND> hwnd;
  std::vector<std::wstring> args;
  bool screen = false;
  DWORD timeoutMs = 10000;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "inspector: %s (see the comment at the top of inspector_win32.cpp)\n",
               why);
  std::exit(2);
}

unsigned long long number(const std::wstring& s) {
  wchar_t* end = nullptr;
  const unsigned long long v = std::wcstoull(s.c_str(), &end, 0);
  if (s.empty() || *end != L'\0') usage("bad number");
  return v;
}

Options parse(int argc, wchar_t** argv) {
  if (argc < 2) usage("no command");
  Options o;
  o.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::wstring a = argv[i];
    auto next = [&]() -> std::wstring {
      if (i + 1 >= argc) usage("option needs a value");
      return argv[++i];
    };
    if (a == L"--class") o.className = next();
    else if (a == L"--title") o.title = next();
    else if (a == L"--hwnd") o.hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number(next())));
    else if (a == L"--timeout") o.timeoutMs = static_cast<DWORD>(number(next()));
    else if (a == L"--press") o.press = next();
    else if (a == L"--out") o.outFile = next();
    else if (a == L"--call") o.call = next();
    else if (a == L"--arg") o.args.push_back(next());
    else if (a == L"--msg") o.msg = static_cast<UINT>(number(next()));
    else if (a == L"--wparam") o.wParam = static_cast<WPARAM>(number(next()));
    else if (a == L"--lparam") o.lParam = static_cast<LPARAM>(number(next()));
    else if (a == L"--screen") o.screen = true;
    else usage("unknown option");
  }
  return o;
}

struct Match {
  const Options* o;
  HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND h, LPARAM lp) {
  auto* m = reinterpret_cast<Match*>(lp);
  if (m->o->className && windowClass(h) != *m->o->className) return TRUE;
  if (m->o->title && windowText(h) != *m->o->title) return TRUE;
  m->found = h;
  return FALSE;
}

// Polls for the window until the timeout: the program under test may still
// be starting.
HWND findWindow(const Options& o) {
  if (o.hwnd) return IsWindow(*o.hwnd) ? *o.hwnd : nullptr;
  if (!o.className && !o.title) usage("give --class, --title or --hwnd");
  const DWORD start = GetTickCount();
  for (;;) {
    Match m{&o};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&m));
    if (m.found) return m.found;
    if (GetTickCount() - start >= o.timeoutMs) return nullptr;
    Sleep(50);
  }
}

HWND requireWindow(const Options& o) {
  HWND h = findWindow(o);
  if (!h) {
    std::fprintf(stderr, "inspector: window not found\n");
    std::exit(1);
  }
  return h;
}

void printRegion(HWND h) {
  struct RgnDeleter {
    void operator()(HRGN r) const { DeleteObject(r); }
  };
  std::unique_ptr<std::remove_pointer_t<HRGN>, RgnDeleter> rgn(CreateRectRgn(0, 0, 0, 0));
  const int kind = GetWindowRgn(h, rgn.get());
  if (kind == ERROR) {
    out("region", "none");
    return;
  }
  const DWORD size = GetRegionData(rgn.get(), 0, nullptr);
  std::vector<unsigned char> data(size);
  auto* rd = reinterpret_cast<RGNDATA*>(data.data());
  if (size == 0 || GetRegionData(rgn.get(), size, rd) != size) {
    out("region", "unreadable");
    return;
  }
  out("region", std::to_string(rd->rdh.nCount) + " rects");
  const auto* rects = reinterpret_cast<const RECT*>(rd->Buffer);
  for (DWORD i = 0; i < rd->rdh.nCount; ++i) {
    const RECT& r = rects[i];
    out("region-rect", std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                           std::to_string(r.right) + " " + std::to_string(r.bottom));
  }
}

std::string rectText(const RECT& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
         " " + std::to_string(r.bottom);
}

int info(const Options& o) {
  HWND h = requireWindow(o);
  out("hwnd", handleText(h));
  out("class", toUtf8(windowClass(h)));
  out("title", toUtf8(windowText(h)));
  out("style", hex(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE))));
  out("exstyle", hex(static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE))));
  RECT r{};
  GetWindowRect(h, &r);
  out("rect", rectText(r));
  RECT c{};
  GetClientRect(h, &c);
  out("client", rectText(c));
  out("owner", handleText(GetWindow(h, GW_OWNER)));
  out("visible", IsWindowVisible(h) ? "1" : "0");
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  out("pid", std::to_string(pid));
  printRegion(h);
  return 0;
}

BOOL CALLBACK listOne(HWND h, LPARAM) {
  std::printf("%s %s \"%s\"%s\n", handleText(h).c_str(), toUtf8(windowClass(h)).c_str(),
              toUtf8(windowText(h)).c_str(), IsWindowVisible(h) ? " visible" : "");
  return TRUE;
}

std::wstring withoutMnemonic(const std::wstring& s) {
  std::wstring r;
  for (wchar_t c : s)
    if (c != L'&') r.push_back(c);
  return r;
}

struct Buttons {
  std::vector<HWND> list;
};

BOOL CALLBACK collectButton(HWND h, LPARAM lp) {
  if (_wcsicmp(windowClass(h).c_str(), L"Button") == 0 && IsWindowVisible(h))
    reinterpret_cast<Buttons*>(lp)->list.push_back(h);
  return TRUE;
}

int messageBox(Options o) {
  o.className = L"#32770";
  const DWORD start = GetTickCount();
  HWND box = requireWindow(o);
  // The box exists before it is shown with its buttons: wait for those too.
  Buttons b;
  for (;;) {
    b.list.clear();
    EnumChildWindows(box, collectButton, reinterpret_cast<LPARAM>(&b));
    if ((IsWindowVisible(box) && !b.list.empty()) || GetTickCount() - start >= o.timeoutMs) break;
    Sleep(50);
  }
  out("caption", toUtf8(windowText(box)));
  HWND text = GetDlgItem(box, 0xFFFF);
  out("text", text ? toUtf8(windowText(text)) : std::string());
  for (HWND btn : b.list)
    out("button", std::to_string(GetDlgCtrlID(btn)) + " " + toUtf8(withoutMnemonic(windowText(btn))));
  if (!o.press) return 0;
  for (HWND btn : b.list) {
    const std::wstring label = withoutMnemonic(windowText(btn));
    const std::wstring id = std::to_wstring(GetDlgCtrlID(btn));
    if (_wcsicmp(label.c_str(), o.press->c_str()) == 0 || id == *o.press) {
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(btn), BN_CLICKED),
                   reinterpret_cast<LPARAM>(btn));
      out("pressed", toUtf8(label));
      return 0;
    }
  }
  std::fprintf(stderr, "inspector: no such button\n");
  return 1;
}

// Calls a script function in another instance the way a peer does: a named
// shared area for the reply, and a WM_COPYDATA block naming it.
int copyData(const Options& o) {
  if (!o.call) usage("copydata needs --call");
  HWND target = requireWindow(o);
  constexpr DWORD kAreaSize = 65536;
  const std::wstring areaName = L"PlumexInspector" + std::to_wstring(GetCurrentProcessId());
  struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
  };
  std::unique_ptr<void, HandleCloser> area(CreateFileMappingW(
      INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kAreaSize, areaName.c_str()));
  if (!area) {
    std::fprintf(stderr, "inspector: cannot create the shared area\n");
    return 1;
  }
  struct ViewUnmapper {
    void operator()(void* p) const { UnmapViewOfFile(p); }
  };
  std::unique_ptr<void, ViewUnmapper> view(
      MapViewOfFile(area.get(), FILE_MAP_ALL_ACCESS, 0, 0, kAreaSize));
  if (!view) {
    std::fprintf(stderr, "inspector: cannot map the shared area\n");
    return 1;
  }
  auto* bytes = static_cast<char*>(view.get());
  std::memset(bytes, 0, kAreaSize);

  std::string block = wideToAnsi(areaName);
  block.push_back('\0');
  block += wideToAnsi(*o.call);
  block.push_back('\0');
  for (const std::wstring& a : o.args) {
    block += wideToAnsi(a);
    block.push_back('\0');
  }
  block.push_back('\0');

  COPYDATASTRUCT cds{};
  cds.dwData = 0;
  cds.cbData = static_cast<DWORD>(block.size());
  cds.lpData = block.data();
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL,
                           o.timeoutMs, &answer)) {
    std::fprintf(stderr, "inspector: no answer to WM_COPYDATA\n");
    return 1;
  }
  out("result", std::to_string(static_cast<long>(static_cast<LRESULT>(answer))));
  bytes[kAreaSize - 1] = '\0';
  out("reply", ansiToUtf8(bytes + 4));
  return 0;
}

int post(const Options& o) {
  HWND h = requireWindow(o);
  if (!PostMessageW(h, o.msg, o.wParam, o.lParam)) {
    std::fprintf(stderr, "inspector: PostMessage failed\n");
    return 1;
  }
  out("posted", std::to_string(o.msg));
  return 0;
}

int screenshot(const Options& o) {
  if (!o.outFile) usage("screenshot needs --out");
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!o.screen) {
    HWND h = requireWindow(o);
    RECT w{};
    GetWindowRect(h, &w);
    IntersectRect(&r, &r, &w);
  }
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "inspector: nothing of the window is on the screen\n");
    return 1;
  }
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height; // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
  const int rows = GetDIBits(mem, bmp, 0, static_cast<UINT>(height), bgra.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (rows != height) {
    std::fprintf(stderr, "inspector: cannot read the screen\n");
    return 1;
  }
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0, j = 0; i < bgra.size(); i += 4, j += 3) {
    rgb[j] = bgra[i + 2];
    rgb[j + 1] = bgra[i + 1];
    rgb[j + 2] = bgra[i];
  }
  const std::string path = toUtf8(*o.outFile);
  if (!plumex::testing::writePngFile(path, width, height, rgb)) {
    std::fprintf(stderr, "inspector: cannot write %s\n", path.c_str());
    return 1;
  }
  out("saved", path);
  out("size", std::to_string(width) + " " + std::to_string(height));
  return 0;
}

} // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) usage("cannot read the command line");
  Options o = parse(argc, argv);
  LocalFree(argv);

  int status = 2;
  if (o.command == L"list") status = EnumWindows(listOne, 0) ? 0 : 1;
  else if (o.command == L"wait") {
    HWND h = requireWindow(o);
    out("hwnd", handleText(h));
    status = 0;
  } else if (o.command == L"info") status = info(o);
  else if (o.command == L"msgbox") status = messageBox(o);
  else if (o.command == L"copydata") status = copyData(o);
  else if (o.command == L"post") status = post(o);
  else if (o.command == L"screenshot") status = screenshot(o);
  else if (o.command == L"tray") {
    Options t = o;
    t.className = L"Shell_TrayWnd";
    HWND h = requireWindow(t);
    out("hwnd", handleText(h));
    status = 0;
  } else usage("unknown command");
  std::fflush(stdout);
  return status;
}
