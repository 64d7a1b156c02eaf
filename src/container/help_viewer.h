#pragma once
// Which viewer opens a help file: by its extension, compared without case.

#include <string_view>

namespace plumex::container {

enum class HelpViewer { None, HtmlHelp, WinHelp };

// ".chm": HTML Help (display topic); ".hlp": the Windows help engine (help
// index); anything else opens nothing.
HelpViewer helpViewerFor(std::string_view path);

} // namespace plumex::container
