#pragma once
// The file cipher of the Encryption class's encFile and decFile. Its
// layout is permanent, like the key derivation. An enciphered file is:
//
//   offset   size  content
//   0        4     "PXEF"
//   4        4     version 1, then three zero bytes
//   8        8     salt: random bytes chosen for each file
//   16       8     n, the plain file's length, little-endian
//   24       8     key check: bytes 72 to 79 of the file keys
//   32       n     the plain bytes XOR the counter stream
//   32 + n   16    HMAC-MD5 of every byte before it
//
// The file keys are deriveKey("file", salt, key text, 80)
// (key_derivation.h): bytes 0 to 55 the Blowfish key, 56 to 71 the HMAC
// key, 72 to 79 the key check. The counter stream is the Blowfish
// encryption of the block numbers 0, 1, 2, ... (64-bit, big-endian), byte
// after byte; the salt makes each file's keys, and so its stream, its own.
//
// Both directions stream in bounded memory and write the target under a
// temporary name, renamed over the target once complete: on any failure
// the target is left as it was.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::crypto {

using FileSalt = std::array<std::uint8_t, 8>;

// False when the source cannot be read or the target written.
bool encryptFile(std::string_view keyText, const std::string& source, const std::string& target,
                 const FileSalt& salt);

// False when the source cannot be read, is not an enciphered file, is
// enciphered under another key, or was changed (its length or its HMAC
// does not match), and when the target cannot be written.
bool decryptFile(std::string_view keyText, const std::string& source, const std::string& target);

// The same layout in memory, for contents that must never lie on disk in
// plain text: the enciphered file's bytes, and the plain bytes back (nothing
// for bytes that are not such a file, under another key, or changed).
std::vector<std::uint8_t> encryptBytes(std::string_view keyText, std::span<const std::uint8_t> plain,
                                       const FileSalt& salt);
std::optional<std::vector<std::uint8_t>> decryptBytes(std::string_view keyText, std::span<const std::uint8_t> file);

} // namespace plumex::hostlib::crypto
