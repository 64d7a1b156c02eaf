#pragma once
// Writes the answer to an inter-process call into the caller's shared area.

#include <string>

namespace plumex::container {

// Opens the named area and writes `text` with its NUL after the window
// handle at its start, as far as the area and its mapped view allow (a
// single NUL when the text does not fit). An area that cannot be opened is
// left alone.
void writeCopyDataReply(const std::string& area, const std::string& text);

} // namespace plumex::container
