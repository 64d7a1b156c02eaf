#pragma once
// Length-prefixed texts: a 32-bit count of UTF-16 units including the NUL,
// then the units. Count 0 stands for an absent text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "container/byte_io.h"

namespace plumex::container {

// Names live in buffers of 260 bytes: at most 259 characters.
constexpr std::size_t kNameCapacity = 260;

// The units up to the first NUL, or nullopt for count 0.
std::optional<std::u16string> readPrefixedUtf16(ByteReader& in);

// The text in the ANSI code page, cut to fit a buffer of `capacity` bytes
// (0: no limit). An absent text reads as empty.
std::string readPrefixedText(ByteReader& in, std::size_t capacity = kNameCapacity);
std::optional<std::string> readOptionalText(ByteReader& in, std::size_t capacity = 0);

// Writes the units and their NUL; an empty text is count 1 and a NUL.
void writePrefixedText(ByteWriter& out, std::u16string_view text);
void writeAnsiText(ByteWriter& out, std::string_view ansi);

// Whether a name may become a file name inside the run folder: no "..",
// no separators or drive colons, no device names, nothing the file system
// would read as something else.
bool isSafeFileName(std::string_view name);

} // namespace plumex::container
