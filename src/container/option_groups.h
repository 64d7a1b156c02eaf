#pragma once
// The script objects `_Appearance_`, `_Interaction_`, `_Behaviour_` and
// `_SizeAndPos_`: four groups of the settings record, read and changed by
// scripts. A change takes effect at once through the window and is not
// saved. Without a window (the script runner) setters only store.

#include <cstdint>
#include <string>

#include "container/settings_record.h"
#include "script/values/engine.h"

namespace plumex::container {

// What the groups ask of the projector window after a change.
class OptionGroupHost {
public:
  virtual ~OptionGroupHost() = default;
  virtual void applyShape() = 0;
  virtual void applyStyles() = 0;
  virtual void applyScaleMode() = 0;
  virtual void applyCaption() = 0;
  // Loads an icon file (16 x 16) as the window class's icon; false when it
  // cannot be loaded, and nothing changes.
  virtual bool setIcon(const std::string& path) = 0;
  // The restriction flags changed from `previous`: undo those, apply the
  // record's.
  virtual void changeRestrictions(std::uint32_t previous) = 0;
  virtual void rebuildContextMenu() = 0;
  virtual void applyTopmostAndMinimized() = 0;
  virtual void showTrayIcon(bool shown) = 0;
  // Size, position and shape, when a movie is loaded.
  virtual void applySizeAndPosition() = 0;
  // The key's name as the keyboard layout gives it.
  virtual std::string keyName(std::uint16_t vk, bool extended) = 0;
};

// Outlives every engine it is registered in.
struct OptionGroups {
  SettingsRecord* record = nullptr;
  OptionGroupHost* host = nullptr;  // none: setters only store
};

// Installs the four globals; raises on memory failure like every
// registration.
void registerOptionGroups(script::Engine& engine, OptionGroups& groups);

} // namespace plumex::container
