#pragma once
// Reading header fields out of a header block: names are found at line
// starts, case-insensitively; values are unfolded. Line ends are CR LF or
// a bare LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plumex::hostlib::mail {

// The length of the line end at text[i] (2 for CR LF, 1 for LF), or 0.
std::size_t lineEndAt(std::string_view text, std::size_t i);

// Where the header block of the part text ends and its body begins: the
// block runs to the first empty line (its last line end included), the
// body starts after that line. Without an empty line the whole text is
// header and the body is empty at its end.
struct HeaderSplit {
  std::size_t headerEnd;
  std::size_t bodyStart;
};
HeaderSplit splitHeader(std::string_view part);

// The first field of that name ("To", "Content-Type"): the text after the
// colon and its continuation lines, line ends removed, TABs as spaces,
// leading and trailing spaces trimmed. Nothing when the block has none.
std::optional<std::string> findField(std::string_view block, std::string_view name);

// A structured value's main part, before the first ";" outside quotes,
// trimmed ("text/plain" of "text/plain; charset=x").
std::string mainValue(std::string_view value);

// The parameter of that whole name (case-insensitive) of a structured
// value: a quoted value unescaped, an unquoted one up to the next ";".
// RFC 2231 forms (name*, name*0, name*1*, ...) are joined and their
// %-escapes decoded; the charset they name is not applied.
std::optional<std::string> findParameter(std::string_view value, std::string_view name);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace plumex::hostlib::mail
