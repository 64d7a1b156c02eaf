#pragma once
// The header at the start of a movie file: signature ("FWS" plain, "CWS"
// zlib-compressed after the first 8 bytes), version, uncompressed length,
// then the frame rectangle, rate and frame count. The projector sizes its
// window from it before any player is loaded.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "container/chacha20.h"

namespace plumex::container {

struct SwfHeader {
  char compression = 'F'; // 'F' (none) or 'C' (zlib)
  std::uint8_t version = 0;
  std::uint32_t fileLength = 0; // as stored: the uncompressed length
  std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0; // twips (1/20 pixel)
  double frameRate = 0;                                // frames per second
  std::uint16_t frameCount = 0;

  double widthPixels() const;
  double heightPixels() const;
};

// From the first bytes of a movie file; a compressed body is inflated only
// as far as the header reaches. nullopt when the bytes end before the header
// does, or are not a plain or zlib-compressed movie.
std::optional<SwfHeader> readSwfHeader(std::span<const std::uint8_t> head);

// The header of the movie file at `path`. A protected file is deciphered
// with `key`; without a key, or when the deciphered bytes are no movie, it
// gives nullopt. A plain file is read as it is, key or not.
std::optional<SwfHeader> readSwfHeaderFile(const std::string& path,
                                           const std::optional<CipherKey>& key);

} // namespace plumex::container
