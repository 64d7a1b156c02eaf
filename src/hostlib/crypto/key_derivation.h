#pragma once
// Cipher keys from a script's key text. The derivation is permanent: text
// and files enciphered by one release must decipher in every later one, so
// it never changes (tests pin it with fixed vectors).
//
// For a label L (ASCII), a salt S (fixed length for each label) and the key
// text T (its bytes in the ANSI code page):
//
//   D1 = MD5(L || 0x00 || S || T)
//   Dn = MD5(D(n-1) || L || 0x00 || S || T)       for n > 1
//   key = the first `length` bytes of D1 || D2 || D3 || ...
//
// The labels in use:
//   "blowfish"  no salt       56 bytes: the Blowfish key of the text cipher
//   "des3"      no salt       24 bytes: the three DES keys of the text cipher
//   "file"      8-byte salt   80 bytes: the file cipher's keys (file_cipher.h)

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace plumex::hostlib::crypto {

std::vector<std::uint8_t> deriveKey(std::string_view label, std::span<const std::uint8_t> salt,
                                    std::string_view keyText, std::size_t length);

std::array<std::uint8_t, 56> blowfishTextKey(std::string_view keyText);
std::array<std::uint8_t, 24> tripleDesTextKey(std::string_view keyText);

} // namespace plumex::hostlib::crypto
