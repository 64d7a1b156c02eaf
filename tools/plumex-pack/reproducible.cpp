#include "reproducible.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string>

#include "container/byte_io.h"
#include "container/pe/pe_image.h"
#include "container/sha256.h"

namespace plumex::pack {
namespace {

using container::asBytes;
using container::Sha256;

// Each length first, so that no two different sequences of pieces hash
// alike.
void feed(Sha256& h, std::span<const std::uint8_t> piece) {
  container::ByteWriter length;
  length.u32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(piece.size()) >> 32));
  length.u32(static_cast<std::uint32_t>(piece.size()));
  h.update(length.data()).update(piece);
}

void feedTree(Sha256& h, const std::vector<container::ArchiveEntry>& level, const std::string& prefix) {
  for (const container::ArchiveEntry& e : level) {
    const std::string path = prefix + e.name;
    feed(h, asBytes(e.folder ? path + "/" : path));
    if (e.folder)
      feedTree(h, e.children, path + "/");
    else
      feed(h, e.content);
  }
}

} // namespace

container::CipherKey cipherKeyFor(const std::vector<container::ArchiveEntry>& plainTree) {
  Sha256 h;
  feed(h, asBytes("plumex-pack archive key 1"));
  feedTree(h, plainTree, "");
  const container::Sha256Digest digest = h.finish();
  container::CipherKey key;
  std::copy_n(digest.begin(), key.size(), key.begin());
  return key;
}

container::CipherNonce nonceFor(const container::CipherKey& key, std::string_view archivePath,
                                std::span<const std::uint8_t> content) {
  container::HmacSha256 mac(key);
  container::ByteWriter length;
  length.u32(static_cast<std::uint32_t>(archivePath.size()));
  mac.update(length.data()).update(asBytes(archivePath)).update(content);
  const container::Sha256Digest digest = mac.finish();
  container::CipherNonce nonce;
  std::copy_n(digest.begin(), nonce.size(), nonce.begin());
  return nonce;
}

container::Guid derivedAppId(const container::SettingsRecord& settings) {
  Sha256 h;
  feed(h, asBytes("plumex-pack application identity 1"));
  for (const auto* name : {&settings.companyName, &settings.productName, &settings.version})
    feed(h, asBytes(name->value_or("")));
  const container::Sha256Digest d = h.finish();
  // The digest's first bytes in the text order of a UUID, then the version
  // and variant bits.
  std::array<std::uint8_t, 16> v;
  std::copy_n(d.begin(), v.size(), v.begin());
  v[6] = static_cast<std::uint8_t>((v[6] & 0x0F) | 0x80);
  v[8] = static_cast<std::uint8_t>((v[8] & 0x3F) | 0x80);
  // A GUID keeps its first three groups little-endian in memory.
  return container::Guid{v[3], v[2], v[1], v[0], v[5], v[4], v[7], v[6],
                         v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]};
}

std::uint32_t derivedTimeStamp(std::span<const std::uint8_t> image,
                               std::span<const std::uint8_t> archive) {
  std::vector<std::uint8_t> unstamped(image.begin(), image.end());
  const container::pe::Headers headers = container::pe::parseHeaders(unstamped);
  container::pe::write32(unstamped, headers.timeDateStampField(), 0);
  container::pe::write32(unstamped, headers.checksumField(), 0);
  const container::Sha256Digest d = Sha256().update(unstamped).update(archive).finish();
  return std::uint32_t{d[0]} << 24 | std::uint32_t{d[1]} << 16 | std::uint32_t{d[2]} << 8 | d[3];
}

std::optional<std::uint32_t> sourceDateEpoch(const char* value) {
  if (!value || !*value) return std::nullopt;
  const std::string_view text(value);
  std::uint64_t seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc() || end != text.data() + text.size() || seconds > 0xFFFFFFFFu)
    throw std::invalid_argument("SOURCE_DATE_EPOCH: expected whole seconds from 0 to 4294967295, not \"" +
                                std::string(text) + "\"");
  return static_cast<std::uint32_t>(seconds);
}

std::function<std::uint32_t()> moduleFiller(std::span<const std::uint8_t> source) {
  return [block = container::sha256(source), used = std::size_t{0}]() mutable {
    if (used == block.size()) {
      block = container::sha256(block);
      used = 0;
    }
    const std::uint32_t word = std::uint32_t{block[used]} << 24 | std::uint32_t{block[used + 1]} << 16 |
                               std::uint32_t{block[used + 2]} << 8 | block[used + 3];
    used += 4;
    return word;
  };
}

} // namespace plumex::pack
