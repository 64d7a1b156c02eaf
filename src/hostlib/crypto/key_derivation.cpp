#include "hostlib/crypto/key_derivation.h"

#include <algorithm>

#include "container/digest.h"

namespace plumex::hostlib::crypto {

std::vector<std::uint8_t> deriveKey(std::string_view label, std::span<const std::uint8_t> salt,
                                    std::string_view keyText, std::size_t length) {
  // The digest before, then what every link hashes.
  std::vector<std::uint8_t> link(16);
  link.insert(link.end(), label.begin(), label.end());
  link.push_back(0);
  link.insert(link.end(), salt.begin(), salt.end());
  link.insert(link.end(), keyText.begin(), keyText.end());

  std::vector<std::uint8_t> key;
  key.reserve(length + 16);
  std::span<const std::uint8_t> input = std::span(link).subspan(16);  // D1 has no digest before it
  while (key.size() < length) {
    const container::Digest d = container::md5(input);
    key.insert(key.end(), d.begin(), d.end());
    std::copy(d.begin(), d.end(), link.begin());
    input = link;
  }
  key.resize(length);
  return key;
}

namespace {
template <std::size_t N>
std::array<std::uint8_t, N> fixedKey(std::string_view label, std::string_view keyText) {
  const std::vector<std::uint8_t> k = deriveKey(label, {}, keyText, N);
  std::array<std::uint8_t, N> out;
  std::copy(k.begin(), k.end(), out.begin());
  return out;
}
} // namespace

std::array<std::uint8_t, 56> blowfishTextKey(std::string_view keyText) { return fixedKey<56>("blowfish", keyText); }
std::array<std::uint8_t, 24> tripleDesTextKey(std::string_view keyText) { return fixedKey<24>("des3", keyText); }

} // namespace plumex::hostlib::crypto
