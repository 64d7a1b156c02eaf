#include "container/digest.h"

#include <algorithm>

#include <boost/uuid/detail/md5.hpp>

namespace plumex::container {

Digest md5(std::span<const std::uint8_t> data) {
  boost::uuids::detail::md5 hash;
  // Boost copies from the pointer even for no bytes, and an empty span's
  // may be null.
  if (!data.empty()) hash.process_bytes(data.data(), data.size());
  boost::uuids::detail::md5::digest_type words;
  hash.get_digest(words);
  // Boost keeps the digest as four words whose bytes it has reversed for
  // its UUID generator; undo that to get the standard byte order.
  Digest out;
  for (int w = 0; w < 4; ++w)
    for (int b = 0; b < 4; ++b)
      out[static_cast<std::size_t>(w * 4 + b)] = static_cast<std::uint8_t>(words[w] >> (24 - 8 * b));
  return out;
}

Digest toDigest(std::span<const std::uint8_t> sixteenBytes) {
  Digest d{};
  std::copy_n(sixteenBytes.begin(), std::min<std::size_t>(16, sixteenBytes.size()), d.begin());
  return d;
}

} // namespace plumex::container
