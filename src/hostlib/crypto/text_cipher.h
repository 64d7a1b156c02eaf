#pragma once
// The text ciphers of the Encryption class: ECB over zero-padded text,
// carried as base64 on one line. Keys come from the key text
// (key_derivation.h). Texts are bytes in the ANSI code page.

#include <optional>
#include <string>
#include <string_view>

namespace plumex::hostlib::crypto {

enum class TextCipher { Blowfish, TripleDes };

// The text zero-padded to whole 8-byte blocks (nothing added to a text
// that fills its last block, an empty text stays empty), enciphered block
// by block, in base64.
std::string encryptText(TextCipher cipher, std::string_view keyText, std::string_view text);

// The deciphered bytes up to the first NUL; nothing when the base64 does
// not decode to whole blocks.
std::optional<std::string> decryptText(TextCipher cipher, std::string_view keyText, std::string_view base64);

} // namespace plumex::hostlib::crypto
