// The Flash Player menu's item states and the choice of help viewer.

#include <gtest/gtest.h>

#include "container/help_viewer.h"
#include "container/player_menu.h"

namespace plumex::container {
namespace {

using Check = PlayerMenuItem::Check;

PlayerMenuItem itemOf(const PlayerState& s, std::uint32_t id) {
  for (const PlayerMenuItem& item : playerMenuItems(s))
    if (item.id == id) return item;
  ADD_FAILURE() << "no item " << id;
  return {};
}

TEST(PlayerMenu, ItemStatesFollowTheControl) {
  PlayerState s;
  s.scaleMode = 2;  // exact fit: neither Show All nor 100% changes
  s.quality = "Medium";
  EXPECT_EQ(itemOf(s, 20030), (PlayerMenuItem{20030, false, Check::Keep}));  // zoom 0
  EXPECT_EQ(itemOf(s, 20034).check, Check::Keep);
  EXPECT_EQ(itemOf(s, 20046).check, Check::Keep);
  EXPECT_EQ(itemOf(s, 20035).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20036).check, Check::On);
  EXPECT_EQ(itemOf(s, 20037).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20039).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20043).check, Check::Off);

  s.zoom = -1;
  s.scaleMode = 0;
  s.quality = "medium";  // compared exactly
  s.playing = true;      // but no movie
  s.loop = true;
  EXPECT_TRUE(itemOf(s, 20030).enabled);
  EXPECT_EQ(itemOf(s, 20034).check, Check::On);
  EXPECT_EQ(itemOf(s, 20046).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20036).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20039).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20043).check, Check::On);

  s.scaleMode = 3;
  s.hasMovie = true;
  EXPECT_EQ(itemOf(s, 20034).check, Check::Off);
  EXPECT_EQ(itemOf(s, 20046).check, Check::On);
  EXPECT_EQ(itemOf(s, 20039).check, Check::On);
}

TEST(HelpViewer, ByExtensionWithoutCase) {
  const std::pair<const char*, HelpViewer> cases[] = {
      {"help\\app.chm", HelpViewer::HtmlHelp}, {"APP.CHM", HelpViewer::HtmlHelp},
      {"a.Hlp", HelpViewer::WinHelp},          {"a.hlp.txt", HelpViewer::None},
      {"chm", HelpViewer::None},               {".chm", HelpViewer::HtmlHelp},
      {"", HelpViewer::None},                  {"archivechm", HelpViewer::None},
  };
  for (const auto& [path, viewer] : cases) EXPECT_EQ(helpViewerFor(path), viewer) << path;
}

} // namespace
} // namespace plumex::container
