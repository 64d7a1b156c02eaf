#include "container/swf_header.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "container/protected_file.h"
#include "platform/files.h"

namespace plumex::container {
namespace {

constexpr std::size_t kSignatureSize = 8; // signature, version, length
// The longest body header: a rectangle of 5 + 4 * 31 bits, rate and count.
constexpr std::size_t kMaxBodyHeader = (5 + 4 * 31 + 7) / 8 + 4;
// Enough of a compressed file for the largest deflate block header (its
// code tables) in front of the movie header.
constexpr std::size_t kFileHead = 1024;

// Bits from the most significant down, never past the end of the bytes.
class BitReader {
public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::optional<std::uint32_t> bits(unsigned count) {
    if (count > data_.size() * 8 - bit_) return std::nullopt;
    std::uint32_t v = 0;
    for (unsigned i = 0; i < count; ++i, ++bit_)
      v = (v << 1) | ((data_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
    return v;
  }

  // Two's complement in `count` bits (at most 31 here).
  std::optional<std::int32_t> signedBits(unsigned count) {
    const std::optional<std::uint32_t> v = bits(count);
    if (!v) return std::nullopt;
    if (count == 0) return 0;
    const std::int64_t sign = std::int64_t{1} << (count - 1);
    return static_cast<std::int32_t>((std::int64_t{*v} ^ sign) - sign);
  }

  // Offset of the first byte after the bits read so far.
  std::size_t nextByte() const { return (bit_ + 7) / 8; }

private:
  std::span<const std::uint8_t> data_;
  std::size_t bit_ = 0;
};

std::optional<SwfHeader> readBody(SwfHeader header, std::span<const std::uint8_t> body) {
  BitReader bits(body);
  const std::optional<std::uint32_t> nbits = bits.bits(5);
  if (!nbits) return std::nullopt;
  std::int32_t* const fields[] = {&header.xMin, &header.xMax, &header.yMin, &header.yMax};
  for (std::int32_t* field : fields) {
    const std::optional<std::int32_t> v = bits.signedBits(*nbits);
    if (!v) return std::nullopt;
    *field = *v;
  }
  const std::size_t at = bits.nextByte();
  if (body.size() < at + 4) return std::nullopt;
  const auto u16 = [&](std::size_t i) {
    return static_cast<std::uint16_t>(body[at + i] | (body[at + i + 1] << 8));
  };
  header.frameRate = u16(0) / 256.0; // 8.8 fixed point
  header.frameCount = u16(2);
  return header;
}

// As much of the body header as the bytes at hand inflate to. A damaged
// stream still gives what came before the damage: only the header matters.
std::vector<std::uint8_t> inflateHead(std::span<const std::uint8_t> compressed) {
  std::vector<std::uint8_t> out(kMaxBodyHeader);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size(), UINT_MAX));
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_NO_FLUSH);
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

std::optional<SwfHeader> readHead(InputFile& file) {
  std::array<std::uint8_t, kFileHead> head{};
  const std::size_t n = file.read(head.data(), head.size());
  return readSwfHeader(std::span(head).first(n));
}

// Small files only: the whole file is deciphered in memory.
std::optional<SwfHeader> readProtected(InputFile& file, const CipherKey& key) {
  const std::uint64_t size = file.size();
  if (size > SIZE_MAX || !file.seek(0)) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!file.readExactly(bytes.data(), bytes.size())) return std::nullopt;
  const std::optional<ProtectedReader> reader = ProtectedReader::open(key, bytes);
  if (!reader) return std::nullopt;
  std::array<std::uint8_t, kFileHead> head{};
  const std::size_t n = reader->read(0, head);
  return readSwfHeader(std::span(head).first(n));
}

} // namespace

double SwfHeader::widthPixels() const {
  return (static_cast<double>(xMax) - static_cast<double>(xMin)) / 20.0;
}

double SwfHeader::heightPixels() const {
  return (static_cast<double>(yMax) - static_cast<double>(yMin)) / 20.0;
}

std::optional<SwfHeader> readSwfHeader(std::span<const std::uint8_t> head) {
  if (head.size() < kSignatureSize || head[1] != 'W' || head[2] != 'S') return std::nullopt;
  SwfHeader header;
  header.compression = static_cast<char>(head[0]);
  header.version = head[3];
  header.fileLength = std::uint32_t{head[4]} | (std::uint32_t{head[5]} << 8) |
                      (std::uint32_t{head[6]} << 16) | (std::uint32_t{head[7]} << 24);
  const std::span<const std::uint8_t> rest = head.subspan(kSignatureSize);
  switch (header.compression) {
  case 'F':
    return readBody(header, rest);
  case 'C':
    return readBody(header, inflateHead(rest));
  default: // 'Z' (LZMA) is not supported
    return std::nullopt;
  }
}

std::optional<SwfHeader> readSwfHeaderFile(const std::string& path,
                                           const std::optional<CipherKey>& key) {
  InputFile file;
  if (!file.open(path)) return std::nullopt;
  std::array<std::uint8_t, kProtectedMarkerSize> marker{};
  const std::size_t n = file.read(marker.data(), marker.size());
  if (startsWithProtectedMarker(std::span(marker).first(n)))
    return key ? readProtected(file, *key) : std::nullopt;
  if (!file.seek(0)) return std::nullopt;
  return readHead(file);
}

} // namespace plumex::container
