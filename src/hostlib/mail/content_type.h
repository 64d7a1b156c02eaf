#pragma once
// Reading a content type out of a mime.types table ("type ext ext ..."
// lines, "#" comments), as Debian's media-types package installs it.

#include <optional>
#include <string>
#include <string_view>

namespace plumex::hostlib::mail {

// The extension of a file name, without the dot; "" when it has none.
std::string_view extensionOf(std::string_view path);

// The content type the table gives the extension (any case), if any.
std::optional<std::string> findContentType(std::string_view table, std::string_view extension);

// Registered content types longer than this are not used.
inline constexpr std::size_t kMaxRegisteredType = 64;
inline constexpr std::string_view kDefaultContentType = "application/octet-stream";

} // namespace plumex::hostlib::mail
