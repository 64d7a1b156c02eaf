#pragma once
// HMAC-MD5 (RFC 2104): the authentication of mail transfer's CRAM-MD5 and
// the check at the end of enciphered files.

#include <cstdint>
#include <span>

#include "container/digest.h"
#include "hostlib/crypto/md5_stream.h"

namespace plumex::hostlib::crypto {

container::Digest hmacMd5(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

// The same over a message given in pieces.
class HmacMd5Stream {
public:
  explicit HmacMd5Stream(std::span<const std::uint8_t> key);
  void update(std::span<const std::uint8_t> bytes) { inner_.update(bytes); }
  // The stream is spent afterwards.
  container::Digest finish();

private:
  std::uint8_t outerPad_[64];
  Md5Stream inner_;
};

} // namespace plumex::hostlib::crypto
