// smoke_window: a small GUI program the harness tests look at from outside.
//
//   smoke_window            a window of class "PlumexSmoke" with a region;
//                           WM_CLOSE ends it with exit status 3
//   smoke_window --msgbox   a message box first; its button's ID becomes the
//                           exit status
//
// WM_COPYDATA blocks (area name, function, arguments, empty text) are
// answered by writing "function(arg,arg)" at offset 4 of the named area.
// The program ends by itself after a minute so a failed test cannot leave it
// behind.

#include <windows.h>

#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr wchar_t kClassName[] = L"PlumexSmoke";

LRESULT answerCopyData(const COPYDATASTRUCT* cds) {
  if (!cds || cds->cbData == 0) return -1;
  const char* p = static_cast<const char*>(cds->lpData);
  const char* end = p + cds->cbData;
  std::string items[64];
  int count = 0;
  while (p < end && count < 64) {
    const char* z = p;
    while (z < end && *z) ++z;
    if (z == end) return -1;
    items[count++] = std::string(p, z);
    p = z + 1;
    if (items[count - 1].empty()) break;
  }
  if (count < 3 || items[1].empty()) return -1;
  std::string reply = items[1] + "(";
  for (int i = 2; i < count - 1; ++i) reply += (i > 2 ? "," : "") + items[i];
  reply += ")";
  if (HANDLE area = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, items[0].c_str())) {
    if (void* view = MapViewOfFile(area, FILE_MAP_ALL_ACCESS, 0, 0, 0)) {
      lstrcpynA(static_cast<char*>(view) + 4, reply.c_str(), 65532);
      UnmapViewOfFile(view);
    }
    CloseHandle(area);
  }
  return static_cast<LRESULT>(reply.size());
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_PAINT: {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x60, 0xC0));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, L"Plumex smoke window", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(hwnd, &ps);
    return 0;
  }
  case WM_COPYDATA:
    return answerCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
  case WM_TIMER:
    if (wp == kLifetimeTimer) DestroyWindow(hwnd);
    return 0;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(3);
    return 0;
  default:
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int show) {
  if (std::wstring(cmdLine).find(L"--msgbox") != std::wstring::npos)
    return MessageBoxW(nullptr, L"Hello from the smoke test", L"Smoke caption",
                       MB_OKCANCEL | MB_ICONINFORMATION);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;

  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Plumex smoke",
                              WS_POPUP | WS_CAPTION | WS_SYSMENU, 100, 80, 320, 240, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd) return 1;
  SetWindowRgn(hwnd, CreateRectRgn(0, 0, 300, 200), TRUE);
  SetTimer(hwnd, kLifetimeTimer, 60000, nullptr);
  ShowWindow(hwnd, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(hwnd);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
