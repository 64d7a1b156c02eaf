#include "container/packed_block.h"

#include <zlib.h>

#include "container/byte_io.h"
#include "container/container_errors.h"

namespace plumex::container {
namespace {
constexpr std::size_t kHeaderSize = 16;
} // namespace

std::vector<std::uint8_t> unpackBlock(std::span<const std::uint8_t> block) {
  if (block.size() <= kHeaderSize) throw CZipException("Bad compressed data length");
  if (block[0] != 0x53 || block[1] != 0x4D || block[2] != 0x01 || block[3] != 0x00)
    throw CZipException("Bad compressed data header");
  ByteReader header(block.subspan(4, 12));
  const std::uint32_t size = header.u32();
  const std::uint32_t packedSize = header.u32();
  if (block.size() - kHeaderSize < packedSize) throw CZipException("Bad compressed data length");
  // A declared size we would never write is damage, not a reason to
  // allocate gigabytes.
  if (size > kMaxUnpackedSize) throw CZipException("Bad compressed data length");

  std::vector<std::uint8_t> out(size);
  uLongf outSize = size;
  // zlib wants a non-null buffer even for an empty result.
  std::uint8_t empty = 0;
  const int rc = uncompress(size ? out.data() : &empty, &outSize, block.data() + kHeaderSize,
                            packedSize);
  if (rc != Z_OK) throw CZipException(rc);
  // A stream that ends short of the declared size would leave zeros that
  // look like data.
  if (outSize != size) throw CZipException("Bad compressed data length");
  return out;
}

std::vector<std::uint8_t> packBlock(std::span<const std::uint8_t> data) {
  uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> packed(packedSize);
  const int rc = compress2(packed.data(), &packedSize, data.data(),
                           static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
  if (rc != Z_OK) throw CZipException(rc);
  packed.resize(packedSize);

  ByteWriter w;
  w.bytes(asBytes("SM"));
  w.u16(1);
  w.u32(static_cast<std::uint32_t>(data.size()));
  w.u32(static_cast<std::uint32_t>(packed.size()));
  w.u32(static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size()))));
  w.bytes(packed);
  return w.take();
}

} // namespace plumex::container
