#include "container/help_viewer.h"

#include <cctype>

namespace plumex::container {
namespace {

bool endsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  text.remove_prefix(text.size() - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != tail[i]) return false;
  return true;
}

} // namespace

HelpViewer helpViewerFor(std::string_view path) {
  if (endsWithNoCase(path, ".chm")) return HelpViewer::HtmlHelp;
  if (endsWithNoCase(path, ".hlp")) return HelpViewer::WinHelp;
  return HelpViewer::None;
}

} // namespace plumex::container
