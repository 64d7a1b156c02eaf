#include "hostlib/crypto/text_cipher.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "hostlib/codecs/base64.h"
#include "hostlib/crypto/block.h"
#include "hostlib/crypto/blowfish.h"
#include "hostlib/crypto/des.h"
#include "hostlib/crypto/key_derivation.h"

namespace plumex::hostlib::crypto {
namespace {

template <class Cipher>
void encryptBlocks(const Cipher& cipher, std::span<std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); i += 8) storeBlock(cipher.encrypt(loadBlock(&data[i])), &data[i]);
}

template <class Cipher>
void decryptBlocks(const Cipher& cipher, std::span<std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); i += 8) storeBlock(cipher.decrypt(loadBlock(&data[i])), &data[i]);
}

} // namespace

std::string encryptText(TextCipher cipher, std::string_view keyText, std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.resize((data.size() + 7) / 8 * 8, 0);
  if (cipher == TextCipher::Blowfish)
    encryptBlocks(Blowfish(blowfishTextKey(keyText)), data);
  else
    encryptBlocks(TripleDes(tripleDesTextKey(keyText)), data);
  return codecs::encodeBase64(data);
}

std::optional<std::string> decryptText(TextCipher cipher, std::string_view keyText, std::string_view base64) {
  std::vector<std::uint8_t> data = codecs::decodeBase64(base64);
  if (data.size() % 8 != 0) return std::nullopt;
  if (cipher == TextCipher::Blowfish)
    decryptBlocks(Blowfish(blowfishTextKey(keyText)), data);
  else
    decryptBlocks(TripleDes(tripleDesTextKey(keyText)), data);
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

} // namespace plumex::hostlib::crypto
