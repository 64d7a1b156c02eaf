#pragma once
// StringStream is the engine's general "bytes" value: native classes give
// a block of bytes to scripts as one, and read one given to them.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "script/values/engine.h"

namespace plumex::hostlib::streams {

// A new StringStream holding `bytes`, open for reading and writing, as if
// they had been written into a new stream: read from the start, written
// at the end. Null in an engine without the class.
script::Value makeStringStream(script::Engine& engine, std::vector<std::uint8_t> bytes);

// The whole content of an open StringStream, whatever its positions
// (which stay); nothing for any other value, a closed stream among them.
// The view lasts until the stream next changes. The class is told by its
// record, never by the global "StringStream", which a script may replace.
std::optional<std::span<const std::uint8_t>> stringStreamContent(const script::Value& v);

} // namespace plumex::hostlib::streams
