#pragma once
// C library files (stdio) where the systems differ: a temporary file that
// removes itself, and positions, sizes and truncation in 64 bits.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace plumex {

// A new file open for reading and writing in byte mode, in the folder
// named by TMP, else TEMP, else the Windows folder (natively /tmp), named
// as the system names temporary files from `prefix` (three characters at
// most) and the first of the numbers 1, 2, ... whose name is free. It is
// removed when closed; natively it is removed at once, and lives on
// through the handle alone. Null when none can be made.
std::FILE* openTemporaryFile(const std::string& prefix);

std::optional<std::uint64_t> filePosition(std::FILE* file);
bool seekFile(std::FILE* file, std::uint64_t offset);
// The size of the file on disk. Flush pending writes first, and only
// those: some C libraries drop what they have read ahead on a flush.
std::optional<std::uint64_t> fileSize(std::FILE* file);
// Cuts the file to `size` bytes (or extends it with zeros). Flush (or
// seek) first.
bool resizeFile(std::FILE* file, std::uint64_t size);

} // namespace plumex
