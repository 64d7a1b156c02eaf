#pragma once
// The "Open" dialog (Ctrl+O when the projector has no movie): a location
// that is a URL or a local file, and a browse button.

#include <windows.h>

#include <optional>
#include <string>

namespace plumex::container {

// The location confirmed with OK (ANSI); nothing when cancelled or empty.
std::optional<std::string> askForMovieLocation(HINSTANCE instance, HWND owner);

} // namespace plumex::container
