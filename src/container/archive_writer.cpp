#include "container/archive.h"

#include <zlib.h>

#include "container/byte_io.h"
#include "container/container_errors.h"
#include "container/prefixed_text.h"

namespace plumex::container {
namespace {

void writeEntries(ByteWriter& out, const std::vector<ArchiveEntry>& entries, TextEncoder encode,
                  const ArchiveProgress& progress) {
  for (const ArchiveEntry& e : entries) {
    if (progress) progress(e);
    out.u32(e.folder ? 1 : 0);
    writePrefixedText(out, encode(e.name));
    if (e.folder) {
      ByteWriter inner;
      writeEntries(inner, e.children, encode, progress);
      out.u32(static_cast<std::uint32_t>(inner.data().size()));
      out.bytes(inner.data());
      continue;
    }
    uLongf packedSize = compressBound(static_cast<uLong>(e.content.size()));
    std::vector<std::uint8_t> packed(packedSize);
    const int rc = compress2(packed.data(), &packedSize, e.content.data(),
                             static_cast<uLong>(e.content.size()), Z_BEST_COMPRESSION);
    if (rc != Z_OK) throw CZipException(rc);
    out.u32(static_cast<std::uint32_t>(packedSize + 4));
    out.bytes(std::span(packed).first(packedSize));
    out.u32(static_cast<std::uint32_t>(
        crc32(0L, e.content.data(), static_cast<uInt>(e.content.size()))));
  }
}

} // namespace

std::vector<std::uint8_t> writeArchive(const std::vector<ArchiveEntry>& root, TextEncoder encode,
                                       const ArchiveProgress& progress) {
  ByteWriter out;
  out.bytes(asBytes(std::string_view("PAF\0", 4)));
  out.u32(1);
  writePrefixedText(out, u"Application");
  ByteWriter content;
  writeEntries(content, root, encode, progress);
  out.u32(static_cast<std::uint32_t>(content.data().size()));
  out.bytes(content.data());
  const auto length = static_cast<std::uint32_t>(out.data().size());
  out.u32(length);
  out.u32(1);
  return out.take();
}

} // namespace plumex::container
