#pragma once
// The keyword table: the 39 keyword texts, chained in 32 buckets by the
// engine's name hash.

#include <cstdint>
#include <string_view>

namespace plumex::script::compiler {

// The keyword's token kind, or tok::End when the text is not a keyword.
int keywordKind(std::string_view text, std::uint32_t hash);
int keywordKind(std::string_view text);
// The text of a keyword kind; empty for other kinds.
std::string_view keywordText(int kind);

} // namespace plumex::script::compiler
