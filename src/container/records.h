#pragma once
// The small packaged records: the mask list ("RG"), the movie record ("ML")
// and the identity record ("ID").
//
// Readers give texts in the ANSI code page, as the runtime keeps them.
// Writers take texts in whatever encoding `TextEncoder` understands: the
// runtime passes ANSI, the packager UTF-8.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "container/byte_io.h"

namespace plumex::container {

using TextEncoder = std::u16string (*)(std::string_view);
std::u16string ansiEncoder(std::string_view ansi);
// Readers take the other direction the same way: the runtime keeps ANSI,
// the packager's listing shows UTF-8.
using TextDecoder = std::string (*)(std::u16string_view);
std::string ansiDecoder(std::u16string_view text);

// A length-prefixed text, decoded and cut to fit a buffer of `capacity`
// bytes (0: no limit); nullopt for an absent text.
std::optional<std::string> readDecodedText(ByteReader& in, TextDecoder decode, std::size_t capacity);

struct Mask {
  std::string name;
  std::vector<std::uint8_t> data; // empty: the name is listed without data
};

// Masks whose names could not be file names in the run folder are dropped;
// a list that runs past its data throws FormatError.
std::vector<Mask> readMaskList(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> writeMaskList(const std::vector<Mask>& masks,
                                        TextEncoder encode = ansiEncoder);

constexpr std::size_t kProtectionSize = 260;

struct MovieRecord {
  std::uint32_t kind = 0;
  std::string mainMovie;
  std::array<std::uint8_t, kProtectionSize> protection{};

  bool isProtected() const;
};

MovieRecord readMovieRecord(std::span<const std::uint8_t> data, TextDecoder decode = ansiDecoder);
std::vector<std::uint8_t> writeMovieRecord(const MovieRecord& record,
                                           TextEncoder encode = ansiEncoder);

using Guid = std::array<std::uint8_t, 16>;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" of a GUID in its memory layout.
std::string formatGuid(const Guid& guid);

struct Identity {
  std::string registryKey;
  std::optional<std::string> profile; // absent: the executable's name
  Guid appId{};
};

// nullopt for a record that is too short, unterminated or fails its digest.
std::optional<Identity> readIdentity(std::span<const std::uint8_t> data,
                                     TextDecoder decode = ansiDecoder);
std::vector<std::uint8_t> writeIdentity(std::u16string_view keyAndProfile, const Guid& appId);

} // namespace plumex::container
