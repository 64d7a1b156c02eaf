#include "container/protected_file.h"

#include <algorithm>
#include <cstring>

#include "container/byte_io.h"

namespace plumex::container {
namespace {

constexpr std::uint8_t kMarker[kProtectedMarkerSize] = {'P', 'l', 'u', 'm', 'e', 'x', 'P', 'r',
                                                        'o', 't', 'e', 'c', 't', 'e', 'd', 1};
constexpr std::uint8_t kKeyTag[4] = {'P', 'X', 'K', '1'};

// The key is not stored in the clear next to the files it opens.
constexpr std::uint8_t kKeyMask[32] = {0x5A, 0x13, 0xC7, 0x88, 0x21, 0xE4, 0x7B, 0x90,
                                       0x3D, 0xA6, 0x52, 0x0F, 0xB9, 0x64, 0xD1, 0x2E,
                                       0x87, 0x4C, 0xF3, 0x18, 0x6A, 0xBD, 0x05, 0x9E,
                                       0xC2, 0x37, 0x7F, 0xE8, 0x41, 0x96, 0x2B, 0xD4};

} // namespace

std::array<std::uint8_t, kProtectionSize> protectionFieldFor(const CipherKey& key) {
  std::array<std::uint8_t, kProtectionSize> field{};
  std::copy(std::begin(kKeyTag), std::end(kKeyTag), field.begin());
  for (std::size_t i = 0; i < key.size(); ++i) field[4 + i] = key[i] ^ kKeyMask[i];
  return field;
}

std::optional<CipherKey> keyFromProtectionField(std::span<const std::uint8_t> field) {
  if (field.size() < 36 || !std::equal(std::begin(kKeyTag), std::end(kKeyTag), field.begin()))
    return std::nullopt;
  CipherKey key;
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = field[4 + i] ^ kKeyMask[i];
  return key;
}

std::vector<std::uint8_t> protectContent(const CipherKey& key, const CipherNonce& nonce,
                                         std::span<const std::uint8_t> plain) {
  ByteWriter out;
  out.bytes(kMarker);
  out.bytes(plain);
  ChaCha20(key, nonce).apply(0, std::span(out.data()).subspan(kProtectedMarkerSize));
  out.bytes(nonce);
  out.u32(static_cast<std::uint32_t>(plain.size()));
  return out.take();
}

bool startsWithProtectedMarker(std::span<const std::uint8_t> head) {
  return head.size() >= kProtectedMarkerSize &&
         std::equal(std::begin(kMarker), std::end(kMarker), head.begin());
}

std::optional<ProtectedReader> ProtectedReader::open(const CipherKey& key,
                                                     std::span<const std::uint8_t> file) {
  if (file.size() < kProtectedMarkerSize + kProtectedTrailerSize ||
      !startsWithProtectedMarker(file))
    return std::nullopt;
  const auto trailer = file.last(kProtectedTrailerSize);
  CipherNonce nonce;
  std::copy_n(trailer.begin(), nonce.size(), nonce.begin());
  const std::uint32_t length = ByteReader(trailer.subspan(12)).u32();
  const std::size_t bodySize = file.size() - kProtectedMarkerSize - kProtectedTrailerSize;
  if (length != bodySize) return std::nullopt;
  return ProtectedReader(ChaCha20(key, nonce), file.subspan(kProtectedMarkerSize, bodySize));
}

std::size_t ProtectedReader::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset >= body_.size()) return 0;
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), body_.size() - offset));
  std::memcpy(out.data(), body_.data() + offset, n);
  cipher_.apply(offset, out.first(n));
  return n;
}

} // namespace plumex::container
