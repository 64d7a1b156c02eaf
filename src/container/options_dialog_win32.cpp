#include "container/options_dialog_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <array>

#include "container/options_numbers.h"
#include "platform/wide_text_win32.h"
#include "resources/resource_ids.h"

namespace plumex::container {
namespace {

// What the pages share while the sheet is open.
struct Sheet {
  SettingsRecord edited;
  OptionNumbers numbers;
  const std::vector<std::string>* maskNames = nullptr;
  const std::function<void()>* help = nullptr;
  HBRUSH swatch = nullptr;
  std::array<COLORREF, 16> customColours{};
};

// ------------------------------------------------------------ small helpers

void check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void setFlag(std::uint32_t& flags, std::uint32_t bit, bool on) { flags = on ? flags | bit : flags & ~bit; }

std::string textOf(HWND page, int id) {
  wchar_t buffer[kTextBuffer] = {};
  GetDlgItemTextW(page, id, buffer, static_cast<int>(kTextBuffer));
  return narrow(buffer);
}

void setText(HWND page, int id, const std::string& text) { SetDlgItemTextW(page, id, widen(text).c_str()); }

// Radio buttons standing for values: the first whose value matches is
// checked; reading gives the checked one's value, or `keep`.
struct Radio {
  int id;
  std::uint32_t value;
};
template <std::size_t N>
void setRadios(HWND page, const Radio (&radios)[N], std::uint32_t value) {
  for (const Radio& r : radios) check(page, r.id, false);
  for (const Radio& r : radios) {
    if (r.value == value) {
      check(page, r.id, true);
      return;
    }
  }
}
template <std::size_t N>
std::uint32_t radioValue(HWND page, const Radio (&radios)[N], std::uint32_t keep) {
  for (const Radio& r : radios)
    if (checked(page, r.id)) return r.value;
  return keep;
}

// A drop-down list whose items carry values.
void addChoice(HWND page, int id, const wchar_t* text, std::uint32_t value, std::uint32_t current) {
  const auto at = SendDlgItemMessageW(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendDlgItemMessageW(page, id, CB_SETITEMDATA, at, value);
  if (value == current) SendDlgItemMessageW(page, id, CB_SETCURSEL, at, 0);
}
std::uint32_t choiceValue(HWND page, int id, std::uint32_t keep) {
  const auto at = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return keep;
  return static_cast<std::uint32_t>(SendDlgItemMessageW(page, id, CB_GETITEMDATA, at, 0));
}

COLORREF colourOf(const SettingsRecord& s) {
  const auto& c = s.misc.backgroundColor;
  return RGB(c[0], c[1], c[2]);
}

// ------------------------------------------------------------------- pages

constexpr std::uint32_t kMiscBackground = 0x1, kMiscAboutSplash = 0x10, kMiscMute = 0x100, kMiscHelp = 0x1000;

void loadMisc(HWND page, Sheet& sheet) {
  const auto& m = sheet.edited.misc;
  check(page, IDC_USE_HELP, m.flags & kMiscHelp);
  setText(page, IDC_HELP_PATH, m.helpFile);
  SendDlgItemMessageW(page, IDC_HELP_PATH, EM_LIMITTEXT, kTextBuffer - 1, 0);
  check(page, IDC_MUTE, m.flags & kMiscMute);
  check(page, IDC_ABOUT_SPLASH, m.flags & kMiscAboutSplash);
  check(page, IDC_CUSTOM_BG, m.flags & kMiscBackground);
}

bool storeMisc(HWND page, Sheet& sheet) {
  auto& m = sheet.edited.misc;
  setFlag(m.flags, kMiscHelp, checked(page, IDC_USE_HELP));
  m.helpFile = textOf(page, IDC_HELP_PATH);
  setFlag(m.flags, kMiscMute, checked(page, IDC_MUTE));
  setFlag(m.flags, kMiscAboutSplash, checked(page, IDC_ABOUT_SPLASH));
  setFlag(m.flags, kMiscBackground, checked(page, IDC_CUSTOM_BG));
  return true;
}

void chooseColour(HWND page, Sheet& sheet) {
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = page;
  cc.rgbResult = colourOf(sheet.edited);
  cc.lpCustColors = sheet.customColours.data();
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&cc)) return;
  auto& c = sheet.edited.misc.backgroundColor;
  c[0] = GetRValue(cc.rgbResult);
  c[1] = GetGValue(cc.rgbResult);
  c[2] = GetBValue(cc.rgbResult);
  if (sheet.swatch) DeleteObject(sheet.swatch);
  sheet.swatch = nullptr;
  InvalidateRect(GetDlgItem(page, IDC_BG_SWATCH), nullptr, TRUE);
}

constexpr std::uint32_t kOnTop = 0x100, kTray = 0x1000, kMinimized = 0x10, kAutoPlay = 0x1, kAppIcon = 0x2;
constexpr std::uint32_t kCmConfig = 0x1, kCmNoExtend = 0x2, kCmPlayer = 0x10, kCmAbout = 0x100, kCmHelp = 0x1000;

void loadBehaviour(HWND page, Sheet& sheet) {
  const auto& b = sheet.edited.behaviour;
  check(page, IDC_ALWAYS_ON_TOP, b.flags & kOnTop);
  check(page, IDC_SHOW_IN_TRAY, b.flags & kTray);
  check(page, IDC_START_MINIMIZED, b.flags & kMinimized);
  check(page, IDC_AUTO_PLAY, b.flags & kAutoPlay);
  check(page, IDC_APP_ICON, b.flags & kAppIcon);
  check(page, IDC_CM_CONFIG, b.contextMenu & kCmConfig);
  check(page, IDC_CM_PLAYER, b.contextMenu & kCmPlayer);
  check(page, IDC_CM_HELP, b.contextMenu & kCmHelp);
  check(page, IDC_CM_ABOUT, b.contextMenu & kCmAbout);
  check(page, IDC_CM_EXTEND, !(b.contextMenu & kCmNoExtend));
}

bool storeBehaviour(HWND page, Sheet& sheet) {
  auto& b = sheet.edited.behaviour;
  setFlag(b.flags, kOnTop, checked(page, IDC_ALWAYS_ON_TOP));
  setFlag(b.flags, kTray, checked(page, IDC_SHOW_IN_TRAY));
  setFlag(b.flags, kMinimized, checked(page, IDC_START_MINIMIZED));
  setFlag(b.flags, kAutoPlay, checked(page, IDC_AUTO_PLAY));
  setFlag(b.flags, kAppIcon, checked(page, IDC_APP_ICON));
  setFlag(b.contextMenu, kCmConfig, checked(page, IDC_CM_CONFIG));
  setFlag(b.contextMenu, kCmPlayer, checked(page, IDC_CM_PLAYER));
  setFlag(b.contextMenu, kCmHelp, checked(page, IDC_CM_HELP));
  setFlag(b.contextMenu, kCmAbout, checked(page, IDC_CM_ABOUT));
  setFlag(b.contextMenu, kCmNoExtend, !checked(page, IDC_CM_EXTEND));
  return true;
}

constexpr Radio kSizeModes[] = {{IDC_SIZE_MOVIE, 0}, {IDC_SIZE_FULL, 1}, {IDC_SIZE_MAXIMIZED, 2},
                                {IDC_SIZE_CUSTOM, 3}, {IDC_SIZE_PERCENT, 4}};

void loadSize(HWND page, Sheet& sheet) {
  const auto& s = sheet.edited.sizeAndPos;
  setRadios(page, kSizeModes, s.windowSize);
  setText(page, IDC_WIDTH, sheet.numbers.width);
  setText(page, IDC_HEIGHT, sheet.numbers.height);
  setText(page, IDC_PERCENT, sheet.numbers.percent);
  setText(page, IDC_LEFT, sheet.numbers.left);
  setText(page, IDC_TOP, sheet.numbers.top);
  const wchar_t* const places[] = {L"Top left",     L"Top centre",    L"Top right",
                                   L"Centre left",  L"Screen centre", L"Centre right",
                                   L"Bottom left",  L"Bottom centre", L"Bottom right",
                                   L"Custom (pixels)", L"Custom (percent)"};
  for (std::uint32_t i = 0; i < 11; ++i) addChoice(page, IDC_ALIGN, places[i], i, s.pos);
  check(page, IDC_KEEP_RATIO, s.keepRatio != 0);
}

bool storeSize(HWND page, Sheet& sheet) {
  SettingsRecord::SizeAndPos s = sheet.edited.sizeAndPos;
  s.windowSize = radioValue(page, kSizeModes, s.windowSize);
  s.pos = choiceValue(page, IDC_ALIGN, s.pos);
  s.keepRatio = checked(page, IDC_KEEP_RATIO) ? 1 : 0;
  OptionNumbers numbers{textOf(page, IDC_WIDTH), textOf(page, IDC_HEIGHT), textOf(page, IDC_PERCENT),
                        textOf(page, IDC_LEFT), textOf(page, IDC_TOP)};
  if (const auto refused = storeOptionNumbers(numbers, s)) {
    wchar_t title[64] = {};
    GetWindowTextW(GetParent(page), title, 64);
    MessageBoxW(page, widen(*refused).c_str(), title, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  sheet.edited.sizeAndPos = s;
  sheet.numbers = std::move(numbers);
  return true;
}

constexpr Radio kShapes[] = {{IDC_SHAPE_RECT, 0}, {IDC_SHAPE_TRANSPARENT, 1}, {IDC_SHAPE_MASK, 2}};
constexpr Radio kBorders[] = {{IDC_BORDER_NONE, 0x1}, {IDC_BORDER_SINGLE, 0x10}, {IDC_BORDER_RESIZABLE, 0x100}};
constexpr std::uint32_t kBorderBases = 0x111, kSmallCaption = 0x1000, kHideTaskButton = 0x10000;

// The window takes the first base bit of the border style that is set.
std::uint32_t borderBase(std::uint32_t style) {
  return style & 0x1 ? 0x1 : style & 0x10 ? 0x10 : style & 0x100 ? 0x100 : 0;
}

void loadAppearance(HWND page, Sheet& sheet) {
  const auto& a = sheet.edited.appearance;
  setRadios(page, kShapes, a.windowShape);
  for (const std::string& name : *sheet.maskNames) {
    const auto at = SendDlgItemMessageW(page, IDC_MASK_NAME, CB_ADDSTRING, 0,
                                        reinterpret_cast<LPARAM>(widen(name).c_str()));
    if (name == a.maskName) SendDlgItemMessageW(page, IDC_MASK_NAME, CB_SETCURSEL, at, 0);
  }
  setRadios(page, kBorders, borderBase(a.borderStyle));
  check(page, IDC_SMALL_CAPTION, a.borderStyle & kSmallCaption);
  check(page, IDC_HIDE_TASK_BUTTON, a.borderStyle & kHideTaskButton);
  check(page, IDC_ICON_MAX, a.borderIcons & 0x1);
  check(page, IDC_ICON_MIN, a.borderIcons & 0x10);
  check(page, IDC_ICON_SYSMENU, a.borderIcons & 0x100);
  check(page, IDC_ICON_HELP, a.borderIcons & 0x1000);
  addChoice(page, IDC_SCALE_MODE, L"Show all", 1, a.scaleMode);
  addChoice(page, IDC_SCALE_MODE, L"No border", 2, a.scaleMode);
  addChoice(page, IDC_SCALE_MODE, L"No scale", 16, a.scaleMode);
  addChoice(page, IDC_SCALE_MODE, L"Exact fit", 256, a.scaleMode);
  setText(page, IDC_CAPTION, a.caption);
  SendDlgItemMessageW(page, IDC_CAPTION, EM_LIMITTEXT, kTextBuffer - 1, 0);
}

bool storeAppearance(HWND page, Sheet& sheet) {
  auto& a = sheet.edited.appearance;
  a.windowShape = radioValue(page, kShapes, a.windowShape);
  if (SendDlgItemMessageW(page, IDC_MASK_NAME, CB_GETCURSEL, 0, 0) != CB_ERR) a.maskName = textOf(page, IDC_MASK_NAME);
  const std::uint32_t base = radioValue(page, kBorders, borderBase(a.borderStyle));
  if (base != borderBase(a.borderStyle)) a.borderStyle = (a.borderStyle & ~kBorderBases) | base;
  setFlag(a.borderStyle, kSmallCaption, checked(page, IDC_SMALL_CAPTION));
  setFlag(a.borderStyle, kHideTaskButton, checked(page, IDC_HIDE_TASK_BUTTON));
  setFlag(a.borderIcons, 0x1, checked(page, IDC_ICON_MAX));
  setFlag(a.borderIcons, 0x10, checked(page, IDC_ICON_MIN));
  setFlag(a.borderIcons, 0x100, checked(page, IDC_ICON_SYSMENU));
  setFlag(a.borderIcons, 0x1000, checked(page, IDC_ICON_HELP));
  a.scaleMode = choiceValue(page, IDC_SCALE_MODE, a.scaleMode);
  a.caption = textOf(page, IDC_CAPTION);
  return true;
}

constexpr Radio kLeftButton[] = {{IDC_LEFT_SEND, 0}, {IDC_LEFT_DRAG, 1}, {IDC_LEFT_IGNORE, 2}};
constexpr Radio kRightButton[] = {{IDC_RIGHT_SEND, 0}, {IDC_RIGHT_MENU, 1}, {IDC_RIGHT_IGNORE, 2}};
constexpr std::uint32_t kKeysIgnore = 0x10, kKeysSend = 0x1, kWindowsKeys = 0x100;

void loadInteraction(HWND page, Sheet& sheet) {
  const auto& in = sheet.edited.interaction;
  setRadios(page, kLeftButton, in.lBtnClk);
  setRadios(page, kRightButton, in.rBtnClk);
  check(page, IDC_KEYS_IGNORE, in.keyPress & kKeysIgnore);
  check(page, IDC_KEYS_SEND, !(in.keyPress & kKeysIgnore));
  check(page, IDC_DISABLE_WINKEYS, in.keyPress & kWindowsKeys);
  check(page, IDC_NO_ALT_TAB, in.restrictions & 0x1);
  check(page, IDC_HIDE_CURSOR, in.restrictions & 0x10);
  check(page, IDC_NO_SCREENSAVER, in.restrictions & 0x100);
  check(page, IDC_EXIT_ESC, in.exitKeys & 0x1);
  check(page, IDC_EXIT_HOTKEY, in.exitKeys & 0x10);
  // The hot-key control's modifier flags are the settings' own.
  SendDlgItemMessageW(page, IDC_HOTKEY, HKM_SETHOTKEY, MAKEWORD(in.hotKeyVk, in.hotKeyModifiers), 0);
}

bool storeInteraction(HWND page, Sheet& sheet) {
  auto& in = sheet.edited.interaction;
  in.lBtnClk = radioValue(page, kLeftButton, in.lBtnClk);
  in.rBtnClk = radioValue(page, kRightButton, in.rBtnClk);
  // Only a changed choice rewrites the bits, so an unedited page stores
  // the value exactly as it was.
  const bool ignored = (in.keyPress & kKeysIgnore) != 0;
  if (checked(page, IDC_KEYS_IGNORE) && !ignored) in.keyPress = (in.keyPress & ~kKeysSend) | kKeysIgnore;
  if (checked(page, IDC_KEYS_SEND) && ignored) in.keyPress = (in.keyPress & ~kKeysIgnore) | kKeysSend;
  setFlag(in.keyPress, kWindowsKeys, checked(page, IDC_DISABLE_WINKEYS));
  setFlag(in.restrictions, 0x1, checked(page, IDC_NO_ALT_TAB));
  setFlag(in.restrictions, 0x10, checked(page, IDC_HIDE_CURSOR));
  setFlag(in.restrictions, 0x100, checked(page, IDC_NO_SCREENSAVER));
  setFlag(in.exitKeys, 0x1, checked(page, IDC_EXIT_ESC));
  setFlag(in.exitKeys, 0x10, checked(page, IDC_EXIT_HOTKEY));
  const auto key = static_cast<WORD>(SendDlgItemMessageW(page, IDC_HOTKEY, HKM_GETHOTKEY, 0, 0));
  in.hotKeyVk = LOBYTE(key);
  in.hotKeyModifiers = HIBYTE(key);
  return true;
}

// ------------------------------------------------------------ page driver

struct PageKind {
  int dialog;
  void (*load)(HWND, Sheet&);
  bool (*store)(HWND, Sheet&);
};

constexpr PageKind kPages[] = {
    {IDD_OPTIONS_MISC, loadMisc, storeMisc},
    {IDD_OPTIONS_BEHAVIOUR, loadBehaviour, storeBehaviour},
    {IDD_OPTIONS_SIZE, loadSize, storeSize},
    {IDD_OPTIONS_APPEARANCE, loadAppearance, storeAppearance},
    {IDD_OPTIONS_INTERACTION, loadInteraction, storeInteraction},
};

struct PageData {
  Sheet* sheet;
  const PageKind* kind;
};

INT_PTR CALLBACK pageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
  auto* data = reinterpret_cast<PageData*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      data = reinterpret_cast<PageData*>(reinterpret_cast<PROPSHEETPAGEW*>(lp)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
      data->kind->load(page, *data->sheet);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (data && reinterpret_cast<HWND>(lp) == GetDlgItem(page, IDC_BG_SWATCH)) {
        Sheet& sheet = *data->sheet;
        if (!sheet.swatch) sheet.swatch = CreateSolidBrush(colourOf(sheet.edited));
        return reinterpret_cast<INT_PTR>(sheet.swatch);
      }
      break;
    case WM_COMMAND:
      if (data && LOWORD(wp) == IDC_BG_SWATCH && HIWORD(wp) == STN_CLICKED) {
        chooseColour(page, *data->sheet);
        return TRUE;
      }
      break;
    case WM_NOTIFY: {
      if (!data) break;
      const auto* n = reinterpret_cast<const NMHDR*>(lp);
      switch (n->code) {
        case PSN_KILLACTIVE:
          // Leaving the page (or OK): its fields go into the copy, or it
          // stays when a field is refused.
          SetWindowLongPtrW(page, DWLP_MSGRESULT, data->kind->store(page, *data->sheet) ? FALSE : TRUE);
          return TRUE;
        case PSN_HELP:
          if (*data->sheet->help) (*data->sheet->help)();
          return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

} // namespace

std::optional<SettingsRecord> runOptionsSheet(HINSTANCE instance, HWND owner, const SettingsRecord& settings,
                                              const std::vector<std::string>& maskNames,
                                              const std::function<void()>& help) {
  Sheet sheet;
  sheet.edited = settings;
  sheet.numbers = optionNumbersFor(settings.sizeAndPos);
  sheet.maskNames = &maskNames;
  sheet.help = &help;

  PageData data[std::size(kPages)];
  PROPSHEETPAGEW pages[std::size(kPages)] = {};
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    data[i] = {&sheet, &kPages[i]};
    pages[i].dwSize = sizeof pages[i];
    pages[i].dwFlags = PSP_HASHELP;
    pages[i].hInstance = instance;
    pages[i].pszTemplate = MAKEINTRESOURCEW(kPages[i].dialog);
    pages[i].pfnDlgProc = pageProc;
    pages[i].lParam = reinterpret_cast<LPARAM>(&data[i]);
  }
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_HASHELP;
  header.hwndParent = owner;
  header.hInstance = instance;
  header.pszCaption = L"Options";
  header.nPages = static_cast<UINT>(std::size(pages));
  header.ppsp = pages;
  const INT_PTR result = PropertySheetW(&header);
  if (sheet.swatch) DeleteObject(sheet.swatch);
  if (result <= 0) return std::nullopt;
  return sheet.edited;
}

} // namespace plumex::container
