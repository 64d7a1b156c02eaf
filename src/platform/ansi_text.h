#pragma once
// The one seam for text crossing a system boundary: the ANSI code page of
// the system (CP_ACP on Windows; Windows-1252 in the native build, the code
// page of the default locale our Wine runs use) to and from UTF-16.

#include <string>
#include <string_view>

namespace plumex {

std::u16string ansiToUtf16(std::string_view ansi);

// Characters the code page cannot hold become '?', as the system does it.
std::string utf16ToAnsi(std::u16string_view text);

// Whether two ANSI texts are equal without regard to case, as the system
// compares file names.
bool ansiEqualIgnoringCase(std::string_view a, std::string_view b);

} // namespace plumex
