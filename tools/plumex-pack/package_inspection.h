#pragma once
// Looking inside a packaged executable without running it: what
// `plumex-pack --list` and `--verify` print. Nothing is ever deciphered.

#include <cstdint>
#include <ostream>
#include <span>

namespace plumex::pack {

// The identity, settings and movie record as manifest fields (JSON), the
// application's resources, and every archive entry with its size and
// whether it is enciphered. False when part of it could not be read (the
// listing says which). Throws std::runtime_error when `exe` is not a PE
// image at all.
bool listPackage(std::span<const std::uint8_t> exe, std::ostream& out);

// Checks the identity record's digest, the settings stamp, every packed
// resource, the image checksum, the archive's structure and every entry's
// CRC-32, one line each; true when nothing is damaged. Throws like
// listPackage.
bool verifyPackage(std::span<const std::uint8_t> exe, std::ostream& out);

} // namespace plumex::pack
