#pragma once
// Key texts, shared by menu accelerators, the Shortcut hot key and the
// `hotKey` option of `_Interaction_`: "CTRL+SHIFT+Q", "ALT+F4", "None".
// Portable; the Win32 side passes the system's key names.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plumex::container {

// Modifier flags of a hot key (HOTKEYF_SHIFT, _CONTROL, _ALT, _EXT).
constexpr std::uint16_t kKeyShift = 0x1, kKeyCtrl = 0x2, kKeyAlt = 0x4, kKeyExtended = 0x8;

struct HotKey {
  std::uint16_t vk = 0;        // 0: no key
  std::uint16_t modifiers = 0; // kKeyShift | kKeyCtrl | kKeyAlt | kKeyExtended
  friend bool operator==(const HotKey&, const HotKey&) = default;
};

// The display name of a key (the Win32 side uses GetKeyNameText); empty
// when the key has none.
using KeyNameFn = std::function<std::string(std::uint16_t vk, bool extended)>;

// Reads a key text: split at "+", each piece compared case-insensitively;
// "CTRL", "SHIFT", "ALT" are modifiers; "ins", "home", "end" give Insert,
// Home and End, extended; "num 0".."num 9" give 0x60..0x69; "f1".."f12"
// give 0x70..0x7B; any other piece gives its first character upper-cased.
// The last key piece wins (the extended flag goes with the key). Pieces are
// not trimmed; empty pieces are skipped. No key piece: vk 0.
HotKey parseKeyText(std::string_view text);

// "None" when there is no key (vk 0); else the modifier names present, in
// the order "CTRL", "SHIFT", "ALT", and the key's name, joined by "+".
std::string formatKeyText(HotKey key, const KeyNameFn& name);

// A small English table: letters and digits as themselves, "F1".."F24",
// "Num 0".."Num 9", "Insert", "Home", "End", "Esc", "Space", ... and empty
// for keys it does not know.
std::string defaultKeyName(std::uint16_t vk, bool extended);

inline std::string formatKeyText(HotKey key) { return formatKeyText(key, defaultKeyName); }

// The `hotKey` option of `_Interaction_`: "None" (any case) and the empty
// text clear the hot key; any other text is read as a key text.
HotKey hotKeyFromOptionText(std::string_view text);

} // namespace plumex::container
