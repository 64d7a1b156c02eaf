#include "container/key_text.h"

#include <gtest/gtest.h>

#include <ostream>

namespace plumex::container {

void PrintTo(const HotKey& k, std::ostream* os) {
  *os << "{vk 0x" << std::hex << k.vk << ", modifiers 0x" << k.modifiers << std::dec << "}";
}

namespace {

TEST(KeyText, Parse) {
  struct Case {
    const char* text;
    HotKey key;
  };
  const Case cases[] = {
      {"", {0, 0}},
      {"q", {'Q', 0}},
      {"Q", {'Q', 0}},
      {"CTRL+Q", {'Q', kKeyCtrl}},
      {"ctrl+shift+q", {'Q', kKeyCtrl | kKeyShift}},
      {"Alt+Shift+Ctrl+x", {'X', kKeyAlt | kKeyShift | kKeyCtrl}},
      {"CTRL", {0, kKeyCtrl}},
      {"ins", {0x2D, kKeyExtended}},
      {"SHIFT+Home", {0x24, kKeyShift | kKeyExtended}},
      {"END", {0x23, kKeyExtended}},
      {"num 0", {0x60, 0}},
      {"Num 9", {0x69, 0}},
      {"NUM 5", {0x65, 0}},
      {"num 10", {'N', 0}},
      {"num0", {'N', 0}},
      {"f1", {0x70, 0}},
      {"F9", {0x78, 0}},
      {"F10", {0x79, 0}},
      {"alt+f12", {0x7B, kKeyAlt}},
      {"F13", {'F', 0}},
      {"F0", {'F', 0}},
      {"F01", {'F', 0}},
      {"Fx", {'F', 0}},
      {"Insert", {'I', 0}},   // only "ins" names the Insert key
      {"Delete", {'D', 0}},
      {"7", {'7', 0}},
      {"Control+A", {'A', 0}}, // "Control" is a key piece: its first character, then A wins
      {"A+B", {'B', 0}},       // the last key piece wins
      {"home+f2", {0x71, 0}},  // ... and the extended flag goes with the key
      {"f2+end", {0x23, kKeyExtended}},
      {"CTRL+", {0, kKeyCtrl}},
      {"+A", {'A', 0}},
      {" ctrl", {' ', 0}},    // pieces are not trimmed: " ctrl" is a key piece ...
      {"ctrl+ a", {' ', kKeyCtrl}}, // ... and so is " a"
      {"ctrl+,", {',', kKeyCtrl}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseKeyText(c.text), c.key);
  }
}

TEST(KeyText, Format) {
  EXPECT_EQ(formatKeyText({0, 0}), "None");
  EXPECT_EQ(formatKeyText({0, kKeyCtrl}), "None");
  EXPECT_EQ(formatKeyText({'Q', 0}), "Q");
  EXPECT_EQ(formatKeyText({'Q', kKeyAlt | kKeyShift | kKeyCtrl}), "CTRL+SHIFT+ALT+Q");
  EXPECT_EQ(formatKeyText({'Q', kKeyShift | kKeyAlt}), "SHIFT+ALT+Q");
  EXPECT_EQ(formatKeyText({0x70, kKeyAlt}), "ALT+F1");
  EXPECT_EQ(formatKeyText({0x24, kKeyCtrl | kKeyExtended}), "CTRL+Home");
  EXPECT_EQ(formatKeyText({0x63, 0}), "Num 3");
  EXPECT_EQ(formatKeyText({0x1B, 0}), "Esc");
}

TEST(KeyText, FormatUsesTheCallersNames) {
  std::uint16_t seenVk = 0;
  bool seenExtended = false;
  const KeyNameFn name = [&](std::uint16_t vk, bool extended) {
    seenVk = vk, seenExtended = extended;
    return std::string("Key");
  };
  EXPECT_EQ(formatKeyText({0x2D, kKeyCtrl | kKeyExtended}, name), "CTRL+Key");
  EXPECT_EQ(seenVk, 0x2D);
  EXPECT_TRUE(seenExtended);
  EXPECT_EQ(formatKeyText({'A', 0}, name), "Key");
  EXPECT_FALSE(seenExtended);
}

TEST(KeyText, DefaultNames) {
  EXPECT_EQ(defaultKeyName('A', false), "A");
  EXPECT_EQ(defaultKeyName('0', false), "0");
  EXPECT_EQ(defaultKeyName(0x60, false), "Num 0");
  EXPECT_EQ(defaultKeyName(0x69, false), "Num 9");
  EXPECT_EQ(defaultKeyName(0x70, false), "F1");
  EXPECT_EQ(defaultKeyName(0x7B, false), "F12");
  EXPECT_EQ(defaultKeyName(0x2D, true), "Insert");
  EXPECT_EQ(defaultKeyName(0x24, true), "Home");
  EXPECT_EQ(defaultKeyName(0x23, true), "End");
  EXPECT_EQ(defaultKeyName(0x20, false), "Space");
  EXPECT_EQ(defaultKeyName(0xBC, false), ",");
  EXPECT_EQ(defaultKeyName(0xFF, false), "");
}

TEST(KeyText, RoundTrips) {
  // Texts that come back unchanged through the default names.
  for (const char* text : {"None", "Q", "CTRL+Q", "CTRL+SHIFT+Q", "CTRL+SHIFT+ALT+Z", "ALT+F4",
                           "SHIFT+F12", "Num 0", "CTRL+Num 7", "Home", "CTRL+ALT+End", "7"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(formatKeyText(hotKeyFromOptionText(text)), text);
  }
  // Keys that come back unchanged.
  for (HotKey key : {HotKey{'A', kKeyCtrl}, HotKey{0x7A, kKeyAlt | kKeyShift},
                     HotKey{0x24, kKeyExtended}, HotKey{0x23, kKeyCtrl | kKeyExtended},
                     HotKey{0x65, kKeyShift}, HotKey{0, 0}}) {
    SCOPED_TRACE(key.vk);
    EXPECT_EQ(hotKeyFromOptionText(formatKeyText(key)), key);
  }
  // The system's name of Insert is not the key text "ins".
  EXPECT_EQ(parseKeyText(formatKeyText({0x2D, kKeyExtended})), (HotKey{'I', 0}));
}

TEST(KeyText, OptionText) {
  EXPECT_EQ(hotKeyFromOptionText("None"), (HotKey{0, 0}));
  EXPECT_EQ(hotKeyFromOptionText("none"), (HotKey{0, 0}));
  EXPECT_EQ(hotKeyFromOptionText(""), (HotKey{0, 0}));
  EXPECT_EQ(parseKeyText("None"), (HotKey{'N', 0})); // the plain rule alone
  EXPECT_EQ(hotKeyFromOptionText("Nonesuch"), (HotKey{'N', 0}));
  EXPECT_EQ(hotKeyFromOptionText("CTRL+None"), (HotKey{'N', kKeyCtrl}));
  EXPECT_EQ(hotKeyFromOptionText("ctrl+shift+q"), (HotKey{'Q', kKeyCtrl | kKeyShift}));
}

} // namespace
} // namespace plumex::container
