#pragma once
// The URI escapes of DataFile values: encodeURI and decodeURI's rules (UTF-8
// percent escapes; reserved characters kept), with "'" escaped as well,
// since the profile rules would strip a pair of them from a value.

#include <optional>
#include <string>
#include <string_view>

namespace plumex::hostlib::fs {

// ASCII text; nothing for an unpaired surrogate.
std::optional<std::string> encodeUriValue(std::u16string_view text);
// Nothing for a malformed escape or UTF-8 sequence.
std::optional<std::u16string> decodeUriValue(std::u16string_view text);

} // namespace plumex::hostlib::fs
