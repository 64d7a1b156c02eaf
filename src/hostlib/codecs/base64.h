#pragma once
// Base64 (RFC 4648 alphabet, "=" as the fill character), as mail bodies,
// subjects and the ciphers' text results use it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::codecs {

// Base64 of the bytes, with "\r\n" after every `lineLength` output characters when lineLength > 0 (never at the end).
std::string encodeBase64(std::span<const std::uint8_t> bytes, std::size_t lineLength = 0);

// Decodes, skipping characters outside the alphabet; stops at '='.
std::vector<std::uint8_t> decodeBase64(std::string_view text);

// The same into text, for callers that hold bytes as std::string.
std::string encodeBase64(std::string_view bytes, std::size_t lineLength = 0);
std::string decodeBase64ToString(std::string_view text);

} // namespace plumex::hostlib::codecs
