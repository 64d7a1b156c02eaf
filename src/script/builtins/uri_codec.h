#pragma once
// The URI functions' escapes: UTF-8 percent escapes, surrogates in pairs.
// With keepReserved the reserved characters (";/?:@&=+$,#") are neither
// escaped nor unescaped, as encodeURI and decodeURI do.

#include <optional>
#include <string>
#include <string_view>

namespace plumex::script::builtins {

// Nothing on an unpaired surrogate.
std::optional<std::u16string> encodeUri(std::u16string_view text, bool keepReserved);
// Nothing on a malformed escape or UTF-8 sequence.
std::optional<std::u16string> decodeUri(std::u16string_view text, bool keepReserved);

} // namespace plumex::script::builtins
