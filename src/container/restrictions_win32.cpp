#include "container/restrictions_win32.h"

#include <windows.h>

namespace plumex::container {
namespace {

// The 9x family sets the top bit of GetVersion.
bool isWindows9x() { return (GetVersion() & 0x80000000u) != 0; }

HWND taskbar() { return FindWindowA("Shell_traywnd", nullptr); }

// The display count is the cursor's: shown at 0 and above. Bounded, as
// the count moves by one a call.
void showCursor(bool shown) {
  int count = ShowCursor(shown ? TRUE : FALSE);
  for (int i = 0; i < 256 && (shown ? count < 0 : count >= 0); ++i) count = ShowCursor(shown ? TRUE : FALSE);
}

} // namespace

std::uint32_t applyRestrictions(std::uint32_t flags) {
  showCursor((flags & kRestrictCursor) == 0);
  std::uint32_t changed = 0;
  if (!isWindows9x()) return changed;
  if (flags & kRestrictTaskSwitch) {
    BOOL wasRunning = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &wasRunning, 0);
    if (!wasRunning) changed |= kChangedTaskSwitch;
    if (HWND bar = taskbar(); bar && IsWindowEnabled(bar)) {
      EnableWindow(bar, FALSE);
      changed |= kChangedTaskbar;
    }
  }
  if (flags & kRestrictScreenSaver) {
    BOOL active = FALSE;
    if (SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0) && active) {
      SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
      changed |= kChangedScreenSaver;
    }
  }
  return changed;
}

void undoRestrictions(std::uint32_t changed) {
  if (changed & kChangedTaskSwitch) {
    BOOL old = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &old, 0);
  }
  if (changed & kChangedTaskbar) {
    if (HWND bar = taskbar()) EnableWindow(bar, TRUE);
  }
  if (changed & kChangedScreenSaver) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
}

} // namespace plumex::container
