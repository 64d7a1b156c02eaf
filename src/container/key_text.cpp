#include "container/key_text.h"

#include <array>

namespace plumex::container {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsNoCase(std::string_view a, std::string_view lowerB) {
  if (a.size() != lowerB.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lowerB[i]) return false;
  return true;
}

// Applies one key piece.
HotKey keyOf(std::string_view piece) {
  if (equalsNoCase(piece, "ins")) return {0x2D, kKeyExtended};
  if (equalsNoCase(piece, "home")) return {0x24, kKeyExtended};
  if (equalsNoCase(piece, "end")) return {0x23, kKeyExtended};
  if (piece.size() == 5 && equalsNoCase(piece.substr(0, 4), "num ") && piece[4] >= '0' &&
      piece[4] <= '9')
    return {static_cast<std::uint16_t>(0x60 + (piece[4] - '0')), 0};
  if ((piece.size() == 2 || piece.size() == 3) && lower(piece[0]) == 'f') {
    int n = 0;
    bool digits = piece[1] != '0';
    for (char c : piece.substr(1)) {
      if (c < '0' || c > '9') digits = false;
      n = n * 10 + (c - '0');
    }
    if (digits && n >= 1 && n <= 12) return {static_cast<std::uint16_t>(0x70 + n - 1), 0};
  }
  return {static_cast<std::uint8_t>(upper(piece[0])), 0};
}

} // namespace

HotKey parseKeyText(std::string_view text) {
  HotKey out;
  std::uint16_t key = 0, extended = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('+', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    if (equalsNoCase(piece, "ctrl")) out.modifiers |= kKeyCtrl;
    else if (equalsNoCase(piece, "shift")) out.modifiers |= kKeyShift;
    else if (equalsNoCase(piece, "alt")) out.modifiers |= kKeyAlt;
    else {
      const HotKey k = keyOf(piece);
      key = k.vk, extended = k.modifiers;
    }
  }
  out.vk = key;
  out.modifiers |= extended;
  return out;
}

std::string formatKeyText(HotKey key, const KeyNameFn& name) {
  if (key.vk == 0) return "None";
  std::string out;
  if (key.modifiers & kKeyCtrl) out += "CTRL+";
  if (key.modifiers & kKeyShift) out += "SHIFT+";
  if (key.modifiers & kKeyAlt) out += "ALT+";
  out += name(key.vk, (key.modifiers & kKeyExtended) != 0);
  return out;
}

std::string defaultKeyName(std::uint16_t vk, bool /*extended*/) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, static_cast<char>(vk));
  if (vk >= 0x60 && vk <= 0x69) return "Num " + std::string(1, static_cast<char>('0' + vk - 0x60));
  if (vk >= 0x70 && vk <= 0x87) return "F" + std::to_string(vk - 0x70 + 1);
  struct Named {
    std::uint16_t vk;
    const char* name;
  };
  static constexpr std::array<Named, 37> table{{
      {0x08, "Backspace"}, {0x09, "Tab"},        {0x0D, "Enter"},       {0x13, "Pause"},
      {0x14, "Caps Lock"}, {0x1B, "Esc"},        {0x20, "Space"},       {0x21, "Page Up"},
      {0x22, "Page Down"}, {0x23, "End"},        {0x24, "Home"},        {0x25, "Left"},
      {0x26, "Up"},        {0x27, "Right"},      {0x28, "Down"},        {0x2C, "Print Screen"},
      {0x2D, "Insert"},    {0x2E, "Delete"},     {0x5D, "Application"}, {0x6A, "Num *"},
      {0x6B, "Num +"},     {0x6D, "Num -"},      {0x6E, "Num Del"},     {0x6F, "Num /"},
      {0x90, "Num Lock"},  {0x91, "Scroll Lock"}, {0xBA, ";"},          {0xBB, "="},
      {0xBC, ","},         {0xBD, "-"},          {0xBE, "."},           {0xBF, "/"},
      {0xC0, "`"},         {0xDB, "["},          {0xDC, "\\"},          {0xDD, "]"},
      {0xDE, "'"},
  }};
  for (const Named& n : table)
    if (n.vk == vk) return n.name;
  return {};
}

HotKey hotKeyFromOptionText(std::string_view text) {
  if (text.empty() || equalsNoCase(text, "none")) return {};
  return parseKeyText(text);
}

} // namespace plumex::container
