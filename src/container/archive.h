#pragma once
// The application archive appended after the executable's last section:
// "PAF", version, the root folder "Application", nested entry lists of
// zlib-compressed files, and an 8-byte trailer.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "container/records.h"

namespace plumex {
class InputFile;
}

namespace plumex::container {

// Where the archive would begin: the end of the raw data of the section with
// the largest file offset. nullopt when the file is not a PE executable.
std::optional<std::uint64_t> locateArchive(InputFile& exe);

// Receives the text of an exception the operation caught (the runtime shows
// it in a stop box once its window exists).
using ErrorReport = std::function<void(const std::string&)>;

struct ExtractRequest {
  std::string executable;   // the file carrying the archive
  std::string runFolder;    // ends with the separator; empty: no run folder
  std::string archivePath;  // "/" or "\" separated; empty: the whole archive
  ErrorReport report;       // may be empty
};

// The path of the extracted file, or of the extracted folder with a trailing
// separator, or "" when the path is not in the archive or extraction failed.
// Without a usable archive the path is looked up beside the executable.
std::string extract(const ExtractRequest& request);

// --- writing (the packager) ---

struct ArchiveEntry {
  std::string name;                  // one path component
  bool folder = false;
  std::vector<std::uint8_t> content; // a file's bytes as they are to be extracted
  std::vector<ArchiveEntry> children;
};

using ArchiveProgress = std::function<void(const ArchiveEntry&)>;

// The archive with its trailer, ready to append after the last section.
std::vector<std::uint8_t> writeArchive(const std::vector<ArchiveEntry>& root,
                                       TextEncoder encode = ansiEncoder,
                                       const ArchiveProgress& progress = {});

} // namespace plumex::container
