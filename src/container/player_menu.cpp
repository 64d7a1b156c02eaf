#include "container/player_menu.h"

namespace plumex::container {
namespace {

constexpr std::uint32_t kZoomOut = 20030, kShowAll = 20034, kLow = 20035, kMedium = 20036,
                        kHigh = 20037, kPlay = 20039, kLoop = 20043, kNoScale = 20046;
constexpr int kScaleShowAll = 0, kScaleNoScale = 3;

PlayerMenuItem::Check checkIf(bool on) { return on ? PlayerMenuItem::Check::On : PlayerMenuItem::Check::Off; }

} // namespace

std::vector<PlayerMenuItem> playerMenuItems(const PlayerState& s) {
  using Check = PlayerMenuItem::Check;
  // Show All and 100% change only in the two modes they stand for.
  Check showAll = Check::Keep, noScale = Check::Keep;
  if (s.scaleMode == kScaleShowAll) showAll = Check::On, noScale = Check::Off;
  if (s.scaleMode == kScaleNoScale) showAll = Check::Off, noScale = Check::On;
  return {
      {kZoomOut, s.zoom != 0, Check::Keep},
      {kNoScale, true, noScale},
      {kShowAll, true, showAll},
      {kLow, true, checkIf(s.quality == "Low")},
      {kMedium, true, checkIf(s.quality == "Medium")},
      {kHigh, true, checkIf(s.quality == "High")},
      {kPlay, true, checkIf(s.playing && s.hasMovie)},
      {kLoop, true, checkIf(s.loop)},
  };
}

} // namespace plumex::container
