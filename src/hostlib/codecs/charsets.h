#pragma once
// The charset labels that name the bytes of a Windows ANSI code page, and
// where a double-byte code page's characters begin, so that text is never
// cut inside one.

#include <cstdint>
#include <string_view>

namespace plumex::hostlib::codecs {

// The MIME charset of text in that code page: "windows-1252" for 1252,
// "shift_jis" for 932, "gb2312" for 936, ...; "iso-8859-1" for a code
// page without a label of its own.
std::string_view charsetForCodePage(unsigned codePage);

// Whether the byte starts a two-byte character in that code page (always
// false in a single-byte one).
bool isLeadByte(unsigned codePage, std::uint8_t byte);

// The length of the character that starts at text[i]: 2 for a lead byte
// with a byte after it (the sequence's length for UTF-8), else 1.
std::size_t characterLength(unsigned codePage, std::string_view text, std::size_t i);

} // namespace plumex::hostlib::codecs
