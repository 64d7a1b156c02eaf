#pragma once
// Quoted-printable (RFC 2045) for mail text and HTML bodies. The encoder
// keeps the writer's line ends: LF (and CR LF) pass through as they are.

#include <string>
#include <string_view>

namespace plumex::hostlib::codecs {

// TAB, CR, LF and printable ASCII other than "=" stay; everything else is
// "=XX". A space or TAB before a line end is escaped, so that nothing on
// the way strips it. Lines longer than 72 characters get a soft break
// "=\r\n", and so does a last line that does not end with a line end.
std::string encodeQuotedPrintable(std::string_view text);

// "=XX" gives the byte (hexadecimal digits of either case); "=" before CR
// LF, before LF or at the end of the data is a soft break and goes; any
// other "=" is copied.
std::string decodeQuotedPrintable(std::string_view text);

} // namespace plumex::hostlib::codecs
