#include "container/window_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

namespace plumex::container {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << "}";
}
void PrintTo(const Placement& p, std::ostream* os) {
  PrintTo(p.rect, os);
  *os << " action " << static_cast<int>(p.action);
}
void PrintTo(const MouseRoute& r, std::ostream* os) {
  *os << "{deliver " << r.deliver << ", drag " << static_cast<int>(r.drag) << ", menu "
      << r.showContextMenu << ", left click " << r.sendLeftClick << ", if captured "
      << r.deliverIfCaptured << "}";
}
void PrintTo(const MenuEntry& e, std::ostream* os) {
  *os << "{kind " << static_cast<int>(e.kind) << ", id " << e.id << "}";
}

namespace {

using namespace win;

constexpr std::uint32_t kCaptionBits = kWsCaption | kWsThickFrame | kWsSysMenu | kWsMinimizeBox |
                                       kWsMaximizeBox;

// ---------------------------------------------------------------- styles

TEST(WindowRules, MasksAreTheNamedBits) {
  EXPECT_EQ(kAppearanceStyleMask, kWsPopup | kCaptionBits);
  EXPECT_EQ(kAppearanceExStyleMask,
            kWsExAppWindow | kWsExContextHelp | kWsExToolWindow | kWsExTransparent);
}

TEST(WindowRules, PopupWithAllIconsKeepsSystemMenuAndMaximizeOnly) {
  const WindowStyles s = stylesForAppearance({0, 0}, kBorderNone, 0x1111);
  EXPECT_EQ(s.style, kWsPopup | kWsSysMenu | kWsMaximizeBox);
  EXPECT_EQ(s.style & kCaptionBits, kWsSysMenu | kWsMaximizeBox);
  EXPECT_EQ(s.exStyle & kWsExContextHelp, 0u);
  EXPECT_EQ(s.exStyle, kWsExAppWindow);
}

TEST(WindowRules, StylesTable) {
  const std::uint32_t other = 0x10000000 | 0x04000000; // WS_VISIBLE | WS_CLIPSIBLINGS: kept
  const std::uint32_t otherEx = 0x00000008;            // WS_EX_TOPMOST: kept
  const WindowStyles dirty{other | kAppearanceStyleMask,
                           otherEx | kAppearanceExStyleMask | kWsExClientEdge};
  struct Case {
    std::uint32_t borderStyle, borderIcons, style, exStyle;
  };
  const Case cases[] = {
      {0, 0, 0, kWsExAppWindow},
      {kBorderSingle, 0, kWsCaption, kWsExAppWindow},
      {kBorderResizable, 0, kWsCaption | kWsThickFrame, kWsExAppWindow},
      {kBorderSingle | kBorderResizable, 0, kWsCaption, kWsExAppWindow}, // first match wins
      {kBorderNone | kBorderSingle, 0, kWsPopup, kWsExAppWindow},
      {kBorderResizable | kBorderSmallCaption, 0x1111,
       kWsCaption | kWsThickFrame | kWsMaximizeBox | kWsMinimizeBox | kWsSysMenu,
       kWsExToolWindow | kWsExContextHelp | kWsExAppWindow},
      {kBorderNone | kBorderSmallCaption, 0x1000, kWsPopup, kWsExAppWindow}, // no tool window
      {kBorderSingle | kBorderHideTaskButton, 0x10, kWsCaption | kWsMinimizeBox, 0},
      {kBorderNone | kBorderHideTaskButton, 0x11, kWsPopup | kWsMaximizeBox, 0},
      {kBorderSmallCaption, 0x100, kWsSysMenu, kWsExToolWindow | kWsExAppWindow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.borderStyle << " " << c.borderIcons);
    const WindowStyles clean = stylesForAppearance({0, 0}, c.borderStyle, c.borderIcons);
    EXPECT_EQ(clean, (WindowStyles{c.style, c.exStyle}));
    const WindowStyles fromDirty = stylesForAppearance(dirty, c.borderStyle, c.borderIcons);
    // The client edge goes only for popups.
    const std::uint32_t edge = (c.borderStyle & kBorderNone) ? 0 : kWsExClientEdge;
    EXPECT_EQ(fromDirty, (WindowStyles{other | c.style, otherEx | edge | c.exStyle}));

    const StyleChange ch = styleChangeForAppearance(c.borderStyle, c.borderIcons);
    EXPECT_EQ(ch.addStyle, c.style);
    EXPECT_EQ(ch.addExStyle, c.exStyle);
    EXPECT_EQ(ch.removeStyle, kAppearanceStyleMask);
    EXPECT_EQ(ch.removeExStyle, kAppearanceExStyleMask | (kWsExClientEdge & ~edge));
  }
}

// ------------------------------------------------------- system menu state

TEST(WindowRules, SystemMenuState) {
  EXPECT_EQ(systemMenuState(false, 0, 0), (SystemMenuState{false, false, false, false}));
  EXPECT_EQ(systemMenuState(true, 0, 0), (SystemMenuState{true, false, false, false}));
  EXPECT_EQ(systemMenuState(false, kBorderResizable, 0x11), (SystemMenuState{false, true, true, true}));
  EXPECT_EQ(systemMenuState(false, kBorderNone, 0x11), (SystemMenuState{false, false, false, true}));
  EXPECT_EQ(systemMenuState(true, kBorderNone | kBorderResizable, 0x1),
            (SystemMenuState{true, true, false, false}));
  EXPECT_EQ(systemMenuState(false, kBorderSingle, 0x1100), (SystemMenuState{false, false, false, false}));
}

// ------------------------------------------------------- size and position

SettingsRecord::SizeAndPos sp(std::uint32_t size, std::uint32_t pos, std::uint16_t cw = 0,
                              std::uint16_t ch = 0, std::uint16_t cl = 0, std::uint16_t ct = 0) {
  SettingsRecord::SizeAndPos s;
  s.windowSize = size, s.customWidth = cw, s.customHeight = ch;
  s.pos = pos, s.customLeft = cl, s.customTop = ct;
  return s;
}

PlacementInput screen1024(std::optional<Size> movie = Size{550, 400}) {
  PlacementInput in;
  in.screen = {1024, 768};
  in.movie = movie;
  in.nonClient = {8, 27};
  in.current = {13, 17, 300, 200};
  return in;
}

TEST(WindowRules, SizeModes) {
  const PlacementInput in = screen1024();
  using A = PlacementAction;
  // 0: the movie plus the borders (558 x 427), repainted.
  EXPECT_EQ(placeWindow(sp(0, 0), in), (Placement{{0, 0, 558, 427}, A::MoveRepaintShow}));
  // 1: the whole screen, whatever the position mode.
  EXPECT_EQ(placeWindow(sp(1, 0), in), (Placement{{0, 0, 1024, 768}, A::FullScreenShow}));
  EXPECT_EQ(placeWindow(sp(1, 8), in), (Placement{{0, 0, 1024, 768}, A::FullScreenShow}));
  EXPECT_EQ(placeWindow(sp(1, 99), in), (Placement{{0, 0, 1024, 768}, A::FullScreenShow}));
  // 2: like 0, moved without repainting, shown maximized.
  EXPECT_EQ(placeWindow(sp(2, 4), in), (Placement{{233, 170, 558, 427}, A::MoveShowMaximized}));
  // 3: custom.
  EXPECT_EQ(placeWindow(sp(3, 0, 640, 480), in), (Placement{{0, 0, 640, 480}, A::MoveRepaintShow}));
  // 4: the custom height is the percentage of both sides.
  EXPECT_EQ(placeWindow(sp(4, 0, 999, 50), in), (Placement{{0, 0, 512, 384}, A::MoveRepaintShow}));
  EXPECT_EQ(placeWindow(sp(4, 4, 0, 33), in), (Placement{{343, 257, 337, 253}, A::MoveRepaintShow}));
  // Other size modes only show the window.
  EXPECT_EQ(placeWindow(sp(5, 0), in), (Placement{in.current, A::ShowOnly}));
  EXPECT_EQ(placeWindow(sp(0xFFFFFFFF, 4), in), (Placement{in.current, A::ShowOnly}));
}

TEST(WindowRules, UnknownMovieSizeKeepsTheCurrentSize) {
  for (std::optional<Size> movie : {std::optional<Size>{}, std::optional<Size>{Size{0, 400}},
                                    std::optional<Size>{Size{550, -1}}}) {
    const PlacementInput in = screen1024(movie);
    EXPECT_EQ(placeWindow(sp(0, 0), in).rect, (Rect{0, 0, 300, 200}));
    EXPECT_EQ(placeWindow(sp(2, 8), in).rect, (Rect{724, 568, 300, 200}));
  }
}

TEST(WindowRules, PositionModes) {
  const PlacementInput in = screen1024();
  // 301 x 201 at 1024 x 768: dx 723, dy 567; halves 361 and 283.
  struct Case {
    std::uint32_t pos;
    Rect rect;
  };
  const Case cases[] = {
      {0, {0, 0, 301, 201}},       {1, {361, 0, 301, 201}},     {2, {723, 0, 301, 201}},
      {3, {0, 283, 301, 201}},     {4, {361, 283, 301, 201}},   {5, {723, 283, 301, 201}},
      {6, {0, 567, 301, 201}},     {7, {361, 567, 301, 201}},   {8, {723, 567, 301, 201}},
      {9, {40, 50, 301, 201}},     {10, {409, 384, 301, 201}},  // 1024*40/100, 768*50/100
      {11, {13, 17, 300, 200}},    {0xFFFFFFFF, {13, 17, 300, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pos);
    const Placement p = placeWindow(sp(3, c.pos, 301, 201, 40, 50), in);
    EXPECT_EQ(p.rect, c.rect);
    EXPECT_EQ(p.action, PlacementAction::MoveRepaintShow);
  }
}

TEST(WindowRules, LargerThanTheScreenGivesNegativeOrigins) {
  const PlacementInput in = screen1024();
  // 1100 x 801: dx -76, dy -33; halves truncate toward zero: -38, -16.
  EXPECT_EQ(placeWindow(sp(3, 8, 1100, 801), in).rect, (Rect{-76, -33, 1100, 801}));
  EXPECT_EQ(placeWindow(sp(3, 4, 1100, 801), in).rect, (Rect{-38, -16, 1100, 801}));
  EXPECT_EQ(placeWindow(sp(3, 7, 1025, 769), in).rect, (Rect{0, -1, 1025, 769}));
}

TEST(WindowRules, LargeValuesDoNotOverflow) {
  PlacementInput in = screen1024();
  in.screen = {100000, 60000};
  // 100000 * 65535 overflows 32 bits; the result fits again after / 100.
  EXPECT_EQ(placeWindow(sp(4, 10, 0, 65535, 65535, 65535), in).rect,
            (Rect{65535000, 39321000, 65535000, 39321000}));
  in.movie = Size{std::numeric_limits<std::int32_t>::max(), 10};
  EXPECT_EQ(placeWindow(sp(0, 0), in).rect.width, std::numeric_limits<std::int32_t>::max());
}

TEST(WindowRules, AspectRatio) {
  EXPECT_FLOAT_EQ(aspectRatio({550, 400}), 1.375f);
  EXPECT_EQ(aspectRatio({550, 0}), 0.0f);
  EXPECT_EQ(aspectRatio({0, 0}), 0.0f);
}

// ------------------------------------------------------------ keep ratio

TEST(WindowRules, KeepRatio) {
  const Rect start{10, 20, 558, 427};
  const Size nc{8, 27};
  // Height changed only: the width follows from the client height.
  {
    const Rect end{10, 20, 558, 527};
    const auto r = keepRatioRect(true, 1.375f, start, end, {558 - nc.width, 527 - nc.height});
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (Rect{10, 20, 8 + 687, 527})); // 500 * 1.375 = 687.5
  }
  // Width changed: the height follows from the client width.
  {
    const Rect end{5, 20, 708, 427};
    const auto r = keepRatioRect(true, 1.375f, start, end, {700, 400});
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (Rect{5, 20, 708, 27 + 509})); // 700 / 1.375 = 509.09
  }
  // A plain move: the width is recomputed (and stays when the ratio holds).
  EXPECT_EQ(keepRatioRect(true, 1.375f, start, {50, 60, 558, 427}, {550, 400}),
            (Rect{50, 60, 558, 427}));
}

TEST(WindowRules, KeepRatioDoesNothingWithoutARatio) {
  const Rect start{0, 0, 100, 100}, end{0, 0, 200, 100};
  EXPECT_FALSE(keepRatioRect(true, 0.0f, start, end, {192, 73}));
  EXPECT_FALSE(keepRatioRect(false, 1.5f, start, end, {192, 73}));
  EXPECT_FALSE(keepRatioRect(true, std::nanf(""), start, end, {192, 73}));
  EXPECT_FALSE(keepRatioRect(true, std::numeric_limits<float>::infinity(), start, end, {192, 73}));
}

// -------------------------------------------------------------- keyboard

TEST(WindowRules, ExitKeys) {
  SettingsRecord::Interaction in;
  in.hotKeyVk = 'Q', in.hotKeyModifiers = 0x2;
  in.exitKeys = 0x10;
  EXPECT_TRUE(closesWindow(in, 'Q', false, true, false));  // Ctrl+Q
  EXPECT_TRUE(closesWindow(in, 'Q', true, true, false));   // Ctrl+Shift+Q: Shift not examined
  EXPECT_TRUE(closesWindow(in, 'Q', true, true, true));
  EXPECT_FALSE(closesWindow(in, 'Q', false, false, false)); // Q alone
  EXPECT_FALSE(closesWindow(in, 'Q', true, false, true));
  EXPECT_FALSE(closesWindow(in, 'W', false, true, false));
  EXPECT_FALSE(closesWindow(in, 27, false, false, false));  // Esc not enabled

  in.hotKeyModifiers = 0x7 | 0x8; // all three required; the extended flag is not examined
  EXPECT_TRUE(closesWindow(in, 'Q', true, true, true));
  EXPECT_FALSE(closesWindow(in, 'Q', false, true, true));
  EXPECT_FALSE(closesWindow(in, 'Q', true, false, true));
  EXPECT_FALSE(closesWindow(in, 'Q', true, true, false));

  in.exitKeys = 0x1;
  EXPECT_FALSE(closesWindow(in, 'Q', true, true, true)); // hot key not enabled
  EXPECT_TRUE(closesWindow(in, 27, false, false, false));
  EXPECT_TRUE(closesWindow(in, 27, true, true, true));

  in.exitKeys = 0x11, in.hotKeyVk = 0, in.hotKeyModifiers = 0;
  EXPECT_FALSE(closesWindow(in, 0, false, false, false)); // no hot key
  in.hotKeyVk = 0x70;
  EXPECT_TRUE(closesWindow(in, 0x70, false, false, false));
}

TEST(WindowRules, KeysReachTheMovie) {
  EXPECT_TRUE(keysReachMovie(0));
  EXPECT_TRUE(keysReachMovie(0x1));
  EXPECT_TRUE(keysReachMovie(0x100));
  EXPECT_FALSE(keysReachMovie(0x10));
  EXPECT_FALSE(keysReachMovie(0x111));
}

// ------------------------------------------------------------------ mouse

SettingsRecord::Interaction buttons(std::uint32_t left, std::uint32_t right) {
  SettingsRecord::Interaction in;
  in.lBtnClk = left, in.rBtnClk = right;
  return in;
}

constexpr MouseRoute kDeliver{};
constexpr MouseRoute kConsume{false, DragStep::None, false, false, false};

TEST(WindowRules, LeftButtonRouting) {
  using E = MouseEvent;
  struct Case {
    std::uint32_t mode;
    E event;
    MouseContext context; // leftHeld, inDragArea, dragArmed
    MouseRoute route;
  };
  const Case cases[] = {
      // 0: everything to the movie.
      {0, E::LeftDown, {}, kDeliver},
      {0, E::LeftUp, {}, kDeliver},
      {0, E::LeftDouble, {}, kDeliver},
      {0, E::Move, {true, true, false}, kDeliver},
      // 1: drag.
      {1, E::LeftDown, {false, true, false}, {true, DragStep::Arm}},
      {1, E::LeftDown, {false, false, false}, kDeliver}, // outside the drag region
      {1, E::Move, {true, true, true}, {false, DragStep::Move}},
      {1, E::Move, {true, false, true}, {false, DragStep::Move}}, // the region matters only at the press
      {1, E::Move, {false, true, true}, {true, DragStep::End}},   // button no longer held
      {1, E::Move, {true, true, false}, kDeliver},                // not dragging
      {1, E::Move, {false, true, false}, kDeliver},
      {1, E::LeftUp, {false, true, true}, {true, DragStep::End}},
      {1, E::LeftUp, {false, true, false}, kDeliver},
      {1, E::LeftDouble, {false, true, false}, kConsume},
      {1, E::LeftDouble, {false, true, true}, kConsume},
      // 2: ignore presses, releases and double clicks; moves go on.
      {2, E::LeftDown, {}, kConsume},
      {2, E::LeftUp, {}, kConsume},
      {2, E::LeftDouble, {}, kConsume},
      {2, E::Move, {true, true, false}, kDeliver},
      // Other values pass everything on.
      {3, E::LeftDown, {}, kDeliver},
      {3, E::LeftDouble, {}, kDeliver},
      // A drag left armed when the mode changed ends at the next message.
      {0, E::Move, {true, true, true}, {true, DragStep::End}},
      {2, E::LeftUp, {false, true, true}, {false, DragStep::End}},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    EXPECT_EQ(routeMouse(buttons(c.mode, 0), c.event, c.context), c.route);
  }
}

TEST(WindowRules, RightButtonRouting) {
  using E = MouseEvent;
  struct Case {
    std::uint32_t mode;
    E event;
    MouseRoute route;
  };
  const Case cases[] = {
      {0, E::RightDown, kDeliver},
      {0, E::RightUp, kDeliver},
      {0, E::RightDouble, kDeliver},
      {1, E::RightDown, {false, DragStep::None, true, false, false}},
      {1, E::RightUp, kConsume},
      {1, E::RightDouble, kDeliver},
      {2, E::RightDown, {false, DragStep::None, false, true, true}},
      {2, E::RightUp, kConsume},
      {2, E::RightDouble, kConsume},
      {3, E::RightDown, kDeliver},
      {3, E::RightUp, kConsume},
      {3, E::RightDouble, kDeliver},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    // The left mode does not change right-button routing.
    for (std::uint32_t left : {0u, 1u, 2u})
      EXPECT_EQ(routeMouse(buttons(left, c.mode), c.event, {}), c.route);
  }
}

TEST(WindowRules, DragRect) {
  EXPECT_EQ(dragRect({100, 50, 300, 200}, {120, 60}, {90, 75}), (Rect{70, 65, 300, 200}));
  EXPECT_EQ(dragRect({100, 50, 300, 200}, {0, 0}, {0, 0}), (Rect{100, 50, 300, 200}));
}

// ------------------------------------------------------------------ menus

MenuEntry sep() { return {MenuEntryKind::Separator, 0}; }
MenuEntry cmd(std::uint32_t id) { return {MenuEntryKind::Command, id}; }
MenuEntry flash() { return {MenuEntryKind::FlashPlayerPopup, 0}; }

TEST(WindowRules, ContextMenuEntries) {
  using V = std::vector<MenuEntry>;
  EXPECT_EQ(contextMenuEntries(0), V{});
  EXPECT_EQ(contextMenuEntries(0x2), V{});
  EXPECT_EQ(contextMenuEntries(0x1111 | 0x2), V{}); // bit 0x2 suppresses every item
  EXPECT_EQ(contextMenuEntries(0xEEEC), V{});       // no item bit
  EXPECT_EQ(contextMenuEntries(0x1), (V{sep(), cmd(32777)}));
  EXPECT_EQ(contextMenuEntries(0x100), (V{sep(), cmd(32780)})); // About alone: one separator
  EXPECT_EQ(contextMenuEntries(0x101), (V{sep(), cmd(32777), sep(), cmd(32780)}));
  EXPECT_EQ(contextMenuEntries(0x1111),
            (V{sep(), flash(), cmd(32777), cmd(32778), sep(), cmd(32780)}));
  EXPECT_EQ(contextMenuEntries(0x1010), (V{sep(), flash(), cmd(32778)}));
}

TEST(WindowRules, TrayMenuEntries) {
  using V = std::vector<MenuEntry>;
  const MenuEntry toggle{MenuEntryKind::TrayToggle, 32784};
  const MenuEntry close{MenuEntryKind::TrayClose, 0};
  EXPECT_EQ(trayMenuEntries(0), (V{toggle, sep(), close}));
  EXPECT_EQ(trayMenuEntries(0x1111),
            (V{toggle, sep(), flash(), cmd(32777), cmd(32778), sep(), cmd(32780), sep(), close}));
  EXPECT_EQ(trayMenuEntries(0x100), (V{toggle, sep(), cmd(32780), sep(), close}));
}

TEST(WindowRules, TrayToggle) {
  EXPECT_EQ(trayToggle(WindowState::Hidden), TrayToggle::Show);
  EXPECT_EQ(trayToggle(WindowState::Normal), TrayToggle::MinimizeAndHide);
  EXPECT_EQ(trayToggle(WindowState::Minimized), TrayToggle::Restore);
  EXPECT_EQ(trayToggleCaption(WindowState::Hidden, "App"), "Show App");
  EXPECT_EQ(trayToggleCaption(WindowState::Normal, "App"), "Hide App");
  EXPECT_EQ(trayToggleCaption(WindowState::Minimized, "App"), "Restore App");
  EXPECT_STREQ(defaultCaption(32777), "Config...");
  EXPECT_STREQ(defaultCaption(32778), "Help");
  EXPECT_STREQ(defaultCaption(32780), "About...");
}

TEST(WindowRules, FlashPlayerCommands) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = 20000; id < 20100; ++id)
    if (isFlashPlayerCommand(id)) ids.push_back(id);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{20025, 20030, 20034, 20035, 20036, 20037, 20039, 20040,
                                             20041, 20042, 20043, 20044, 20046}));
}

TEST(WindowRules, FlashScaleMode) {
  EXPECT_EQ(flashScaleMode(1), 0);
  EXPECT_EQ(flashScaleMode(2), 1);
  EXPECT_EQ(flashScaleMode(256), 2);
  EXPECT_EQ(flashScaleMode(16), 3);
  EXPECT_EQ(flashScaleMode(0), std::nullopt);
  EXPECT_EQ(flashScaleMode(3), std::nullopt);
  EXPECT_EQ(flashScaleMode(0x111), std::nullopt);
}

} // namespace
} // namespace plumex::container
