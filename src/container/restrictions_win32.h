#pragma once
// System restrictions of the Interaction group: the hidden cursor
// everywhere; task switching, the taskbar and screen savers on the 9x
// family only, where the system has the switches for them.

#include <cstdint>

namespace plumex::container {

// Restriction flags, as in the settings.
constexpr std::uint32_t kRestrictTaskSwitch = 0x1, kRestrictCursor = 0x10, kRestrictScreenSaver = 0x100;

// What applying changed, so that exactly that is undone.
constexpr std::uint32_t kChangedTaskSwitch = 0x1, kChangedScreenSaver = 0x10, kChangedTaskbar = 0x100;

// Applies the flags and gives the mask of what was changed.
std::uint32_t applyRestrictions(std::uint32_t flags);
void undoRestrictions(std::uint32_t changed);

} // namespace plumex::container
