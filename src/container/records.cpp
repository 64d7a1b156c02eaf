#include "container/records.h"

#include <algorithm>
#include <cstdio>

#include "container/byte_io.h"
#include "container/digest.h"
#include "container/prefixed_text.h"
#include "platform/ansi_text.h"

namespace plumex::container {

std::u16string ansiEncoder(std::string_view ansi) { return ansiToUtf16(ansi); }
std::string ansiDecoder(std::u16string_view text) { return utf16ToAnsi(text); }

std::optional<std::string> readDecodedText(ByteReader& in, TextDecoder decode, std::size_t capacity) {
  const std::optional<std::u16string> wide = readPrefixedUtf16(in);
  if (!wide) return std::nullopt;
  std::string text = decode(*wide);
  if (capacity != 0 && text.size() >= capacity) text.resize(capacity - 1);
  return text;
}

std::vector<Mask> readMaskList(std::span<const std::uint8_t> data) {
  ByteReader in(data);
  const std::uint32_t count = in.u32();
  // Each entry takes at least eight bytes: a count that cannot fit is damage.
  if (count > in.remaining() / 8) throw FormatError("mask count runs past the data");
  std::vector<Mask> masks;
  for (std::uint32_t i = 0; i < count; ++i) {
    Mask m;
    m.name = readPrefixedText(in);
    const std::uint32_t size = in.u32();
    const auto bytes = in.bytes(size);
    if (!isSafeFileName(m.name)) continue;
    m.data.assign(bytes.begin(), bytes.end());
    masks.push_back(std::move(m));
  }
  return masks;
}

std::vector<std::uint8_t> writeMaskList(const std::vector<Mask>& masks, TextEncoder encode) {
  ByteWriter out;
  out.u32(static_cast<std::uint32_t>(masks.size()));
  for (const Mask& m : masks) {
    writePrefixedText(out, encode(m.name));
    out.u32(static_cast<std::uint32_t>(m.data.size()));
    out.bytes(m.data);
  }
  return out.take();
}

bool MovieRecord::isProtected() const {
  return std::any_of(protection.begin(), protection.end(), [](std::uint8_t b) { return b != 0; });
}

MovieRecord readMovieRecord(std::span<const std::uint8_t> data, TextDecoder decode) {
  ByteReader in(data);
  MovieRecord r;
  r.kind = in.u32();
  r.mainMovie = readDecodedText(in, decode, kNameCapacity).value_or(std::string());
  const auto protection = in.bytes(kProtectionSize);
  std::copy(protection.begin(), protection.end(), r.protection.begin());
  return r;
}

std::vector<std::uint8_t> writeMovieRecord(const MovieRecord& record, TextEncoder encode) {
  ByteWriter out;
  out.u32(record.kind);
  writePrefixedText(out, encode(record.mainMovie));
  out.bytes(record.protection);
  return out.take();
}

std::string formatGuid(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                g[14], g[15]);
  return text;
}

namespace {
constexpr std::size_t kTailSize = 32; // GUID and digest
} // namespace

std::optional<Identity> readIdentity(std::span<const std::uint8_t> data, TextDecoder decode) {
  if (data.size() <= kTailSize) return std::nullopt;
  const std::size_t bodySize = data.size() - 16;
  if (md5(data.first(bodySize)) != toDigest(data.subspan(bodySize))) return std::nullopt;

  // The text and its NUL fill the record up to the GUID; a text that runs
  // on into the GUID or digest is damage.
  const std::size_t textLimit = data.size() - kTailSize;
  std::u16string text;
  std::size_t at = 0;
  bool terminated = false;
  while (at + 2 <= textLimit) {
    const char16_t unit = static_cast<char16_t>(data[at] | (data[at + 1] << 8));
    at += 2;
    if (unit == 0) {
      terminated = true;
      break;
    }
    text.push_back(unit);
  }
  if (!terminated || at != textLimit) return std::nullopt;
  const std::size_t guidAt = at;

  Identity id;
  std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(guidAt), 16, id.appId.begin());
  const std::string decoded = decode(text);
  const std::size_t slash = decoded.find('/');
  id.registryKey = decoded.substr(0, slash);
  if (slash != std::string::npos) id.profile = decoded.substr(slash + 1);
  return id;
}

std::vector<std::uint8_t> writeIdentity(std::u16string_view keyAndProfile, const Guid& appId) {
  ByteWriter out;
  for (char16_t c : keyAndProfile) out.u16(c);
  out.u16(0);
  out.bytes(appId);
  const Digest digest = md5(out.data());
  out.bytes(digest);
  return out.take();
}

} // namespace plumex::container
