#pragma once
// Number's "format": one number through a printf-style format, written by
// our own code so that no format can make a formatting routine read
// arguments that are not there, and so that both builds print the same.

#include <optional>
#include <string>
#include <string_view>

#include "script/values/value.h"

namespace plumex::script::builtins {

// The value is an Integer or a Float. The format must hold exactly one
// conversion, besides literal text and "%%": for an Integer one of
// d i u x X o, on the low 32 bits without a length or with "l" (as the
// runtime's 32-bit long), on all 64 with "ll" or "I64"; for a Float one of
// e E f g G, with no length or "l". Flags "-+ #0", a width and a precision
// (each 0 to kFormatFieldLimit) may come before it; "*" may not. Nothing
// when the format breaks these rules or does not suit the value's kind.
inline constexpr int kFormatFieldLimit = 500;

std::optional<std::u16string> formatNumber(std::u16string_view format, const Value& value);

} // namespace plumex::script::builtins
