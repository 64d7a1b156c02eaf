#pragma once
// Reads a whole application archive held in memory, for the packager's
// listing and verification: every entry with its sizes, whether it is
// enciphered and whether its CRC-32 holds. Never deciphers anything.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "container/records.h"

namespace plumex::container {

struct ListedEntry {
  std::string path;           // "/" separated; a folder's ends with "/"
  bool folder = false;
  std::uint32_t storedSize = 0;  // bytes in the archive (a file's: zlib stream and CRC-32)
  std::uint64_t size = 0;        // a file's bytes as extracted (as far as they inflate)
  bool enciphered = false;       // starts with the marker of enciphered files
  std::string damage;            // why the entry cannot be extracted; empty: intact
};

struct ArchiveListing {
  std::vector<ListedEntry> entries;
  std::string damage;  // what is wrong with the archive's own structure; empty: intact
};

// `archive`: the bytes from the archive's start to the end of the file.
ArchiveListing listArchive(std::span<const std::uint8_t> archive, TextDecoder decode = ansiDecoder);

} // namespace plumex::container
