#pragma once
// The master output mute: the mute control of the speaker line of the
// first mixer. The state found before the runtime first muted is kept, so
// that turning the option off, and the exit, put back what the user had.

#include <optional>

namespace plumex::container {

class MasterMute {
public:
  MasterMute() = default;
  ~MasterMute() = default;
  MasterMute(const MasterMute&) = delete;
  MasterMute& operator=(const MasterMute&) = delete;

  // The Mute option's state: on mutes (remembering the original state the
  // first time); off restores the original state when the runtime changed it.
  void setOption(bool on);
  // At exit: the original state, when the runtime changed it.
  void restore();

  bool changed() const { return original_.has_value(); }

  // The line's mute state; nothing without a mixer or mute control.
  static std::optional<bool> read();
  static bool write(bool muted);

private:
  std::optional<bool> original_;
};

} // namespace plumex::container
