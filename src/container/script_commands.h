#pragma once
// Command IDs 47000 to 56999 belong to menu items that scripts make; the
// class that makes them registers a handler for their commands and their
// state before menus are shown.

#include <cstdint>
#include <optional>
#include <string>

namespace plumex::container {

constexpr std::uint32_t kFirstScriptCommand = 47000, kLastScriptCommand = 56999;

constexpr bool isScriptCommand(std::uint32_t id) {
  return id >= kFirstScriptCommand && id <= kLastScriptCommand;
}

struct CommandUiState {
  bool enabled = true;
  bool checked = false;
  std::optional<std::string> caption;  // nothing: keep the item's
};

class ScriptCommandHandler {
public:
  virtual ~ScriptCommandHandler() = default;
  // True when the handler knows the command.
  virtual bool command(std::uint32_t id) = 0;
  // Fills in the item's state; false when it does not know the item.
  virtual bool update(std::uint32_t id, CommandUiState& state) = 0;
};

} // namespace plumex::container
