#pragma once
// RFC 2047 encoded words in header fields: "=?charset?B?...?=" and
// "=?charset?Q?...?=".

#include <cstddef>
#include <string>
#include <string_view>

namespace plumex::hostlib::codecs {

// The longest encoded word RFC 2047 allows.
inline constexpr std::size_t kMaxEncodedWord = 75;

// The text as base64 encoded words labelled with the charset, folded with
// "\r\n " between them: the first word at most `firstWordRoom` characters
// long (what is left of its line), the others at most 75. Characters of
// the code page are never split between two words. Empty text gives "".
std::string encodeWords(std::string_view text, std::string_view charset, unsigned codePage,
                        std::size_t firstWordRoom = kMaxEncodedWord);

// Replaces each well-formed encoded word (Q or B, either case) by its
// bytes; the charset is not applied. White space between two adjacent
// encoded words goes; a malformed word stays as it is written.
std::string decodeWords(std::string_view text);

} // namespace plumex::hostlib::codecs
