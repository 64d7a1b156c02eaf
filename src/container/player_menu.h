#pragma once
// The state of the Flash Player menu's items when it is about to be shown.

#include <cstdint>
#include <vector>

#include "container/movie_control.h"

namespace plumex::container {

struct PlayerMenuItem {
  std::uint32_t id = 0;
  bool enabled = true;
  // Items whose check mark the state does not decide keep theirs.
  enum class Check { Keep, On, Off } check = Check::Keep;
  friend bool operator==(const PlayerMenuItem&, const PlayerMenuItem&) = default;
};

// Zoom Out, 100%, Show All, the three qualities, Play and Loop.
std::vector<PlayerMenuItem> playerMenuItems(const PlayerState& state);

} // namespace plumex::container
