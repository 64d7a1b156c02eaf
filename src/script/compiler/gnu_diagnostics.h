#pragma once
// Compile messages in the form editors and build systems read:
// "FILE:LINE: error: TEXT", lines counted from 1.

#include <string>
#include <string_view>

namespace plumex::script::compiler {

// Each "warning: line N: TEXT" or "error: line N: TEXT" line of the
// messages as "FILE:N+1: warning: TEXT"; other lines stay as they are.
// Lines end with "\n".
std::string gnuDiagnostics(std::string_view messages, std::string_view file);

} // namespace plumex::script::compiler
