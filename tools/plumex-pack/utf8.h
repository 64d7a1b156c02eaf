#pragma once
// UTF-8, the manifest's encoding, to UTF-16, the packaged texts' encoding.

#include <filesystem>
#include <string>
#include <string_view>

namespace plumex::pack {

// Throws std::invalid_argument for bytes that are not UTF-8.
std::u16string utf8ToUtf16(std::string_view text);
bool isUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// Paths as UTF-8 text and back, whatever the system's own encoding.
std::string pathToUtf8(const std::filesystem::path& path);
std::filesystem::path utf8ToPath(std::string_view text);

} // namespace plumex::pack
