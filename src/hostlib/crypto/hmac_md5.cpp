#include "hostlib/crypto/hmac_md5.h"

#include <algorithm>

namespace plumex::hostlib::crypto {

HmacMd5Stream::HmacMd5Stream(std::span<const std::uint8_t> key) {
  // Keys longer than MD5's block are replaced by their digest.
  container::Digest hashedKey;
  if (key.size() > 64) {
    hashedKey = container::md5(key);
    key = hashedKey;
  }
  std::uint8_t innerPad[64];
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint8_t k = i < key.size() ? key[i] : 0;
    innerPad[i] = k ^ 0x36;
    outerPad_[i] = k ^ 0x5C;
  }
  inner_.update(innerPad);
}

container::Digest HmacMd5Stream::finish() {
  const container::Digest innerDigest = inner_.finish();
  std::uint8_t outer[64 + 16];
  std::copy(std::begin(outerPad_), std::end(outerPad_), outer);
  std::copy(innerDigest.begin(), innerDigest.end(), outer + 64);
  return container::md5(outer);
}

container::Digest hmacMd5(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
  HmacMd5Stream mac(key);
  mac.update(message);
  return mac.finish();
}

} // namespace plumex::hostlib::crypto
