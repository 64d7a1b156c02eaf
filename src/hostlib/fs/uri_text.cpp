#include "hostlib/fs/uri_text.h"

#include "script/builtins/uri_codec.h"

namespace plumex::hostlib::fs {

std::optional<std::string> encodeUriValue(std::u16string_view text) {
  const auto encoded = script::builtins::encodeUri(text, true);
  if (!encoded) return std::nullopt;
  // encodeURI's result is ASCII; "'" is escaped besides.
  std::string out;
  out.reserve(encoded->size());
  for (char16_t c : *encoded) {
    if (c == u'\'') out += "%27";
    else out += static_cast<char>(c);
  }
  return out;
}

std::optional<std::u16string> decodeUriValue(std::u16string_view text) {
  return script::builtins::decodeUri(text, true);
}

} // namespace plumex::hostlib::fs
