#include "container/open_movie_dialog_win32.h"

#include <commdlg.h>

#include "platform/wide_text_win32.h"
#include "resources/resource_ids.h"

namespace plumex::container {
namespace {

std::wstring itemText(HWND dialog, int id) {
  const int n = GetWindowTextLengthW(GetDlgItem(dialog, id));
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  GetDlgItemTextW(dialog, id, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

void browse(HWND dialog) {
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = L"Movies (*.swf)\0*.swf\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_OPEN_LOCATION, file);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lp);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_OPEN_BROWSE:
          browse(dialog);
          return TRUE;
        case IDOK: {
          auto* out = reinterpret_cast<std::wstring*>(GetWindowLongPtrW(dialog, DWLP_USER));
          *out = itemText(dialog, IDC_OPEN_LOCATION);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

} // namespace

std::optional<std::string> askForMovieLocation(HINSTANCE instance, HWND owner) {
  std::wstring location;
  if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPEN_MOVIE), owner, dialogProc,
                      reinterpret_cast<LPARAM>(&location)) != IDOK ||
      location.empty())
    return std::nullopt;
  return narrow(location);
}

} // namespace plumex::container
