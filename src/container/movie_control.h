#pragma once
// The movie control's share of the projector window. The movie host
// implements it; until a control exists the window works without one.

#include <cstdint>
#include <string>

namespace plumex::container {

// What the Flash Player menu shows of the control.
struct PlayerState {
  int zoom = 0;        // the zoom counter of the Zoom In and Zoom Out items
  int scaleMode = 0;   // the control's: 0 show all, 1 no border, 2 exact fit, 3 no scale
  std::string quality; // its Quality2 text
  bool hasMovie = false;
  bool playing = false;
  bool loop = false;
};

class MovieControl {
public:
  virtual ~MovieControl() = default;
  // Message 34769: the control's own scale mode numbers.
  virtual void setScaleMode(int mode) = 0;
  // Message 34770: 0xRRGGBB.
  virtual void setBackgroundColor(std::uint32_t rgb) = 0;
  // A Flash Player menu command (20025 ... 20046).
  virtual void playerCommand(std::uint32_t id) = 0;
  virtual PlayerState playerState() const = 0;
};

} // namespace plumex::container
