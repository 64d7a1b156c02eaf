#include "container/archive_listing.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "container/byte_io.h"
#include "container/protected_file.h"

namespace plumex::container {
namespace {

// As the extraction's: folders nest no deeper than paths can reach.
constexpr int kMaxDepth = 64;

// Inflates a file entry's stream, counting and checking what comes out.
void inspectFile(std::span<const std::uint8_t> stored, ListedEntry& e) {
  if (stored.size() < 4) {
    e.damage = "shorter than its CRC-32";
    return;
  }
  const auto stream = stored.first(stored.size() - 4);
  const std::uint32_t expected = ByteReader(stored.last(4)).u32();
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    e.damage = "cannot be inflated";
    return;
  }
  std::array<std::uint8_t, 64 * 1024> out;
  std::array<std::uint8_t, kProtectedMarkerSize> head{};
  std::size_t headSize = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t n = out.size() - z.avail_out;
    crc = crc32(crc, out.data(), static_cast<uInt>(n));
    const std::size_t take = std::min(n, head.size() - headSize);
    std::copy_n(out.begin(), take, head.begin() + static_cast<std::ptrdiff_t>(headSize));
    headSize += take;
    e.size += n;
  }
  inflateEnd(&z);
  e.enciphered = startsWithProtectedMarker(std::span(head).first(headSize));
  if (rc != Z_STREAM_END)
    e.damage = "the compressed data is damaged";
  else if (crc != expected)
    e.damage = "CRC-32 does not match";
}

class Lister {
public:
  Lister(ArchiveListing& listing, TextDecoder decode) : listing_(listing), decode_(decode) {}

  // False when the structure ends: what was listed so far stands.
  bool folder(ByteReader in, const std::string& prefix, int depth) {
    if (depth > kMaxDepth) return fail("folders nest too deep");
    while (in.remaining() > 4) {
      const std::uint32_t kind = in.u32();
      const std::optional<std::string> name = readDecodedText(in, decode_, 0);
      const std::uint32_t size = in.u32();
      if (size > in.remaining()) return fail("entry " + prefix + name.value_or("") + " runs past its folder");
      const auto content = in.bytes(size);
      ListedEntry e;
      e.folder = kind != 0;
      e.path = prefix + name.value_or("") + (e.folder ? "/" : "");
      e.storedSize = size;
      if (!e.folder) inspectFile(content, e);
      // The path is copied: the list grows while the folder is listed.
      const std::string path = e.path;
      listing_.entries.push_back(std::move(e));
      if (kind != 0 && !folder(ByteReader(content), path, depth + 1)) return false;
    }
    if (!in.atEnd()) return fail("stray bytes after the entries of " + (prefix.empty() ? "the root" : prefix));
    return true;
  }

  bool fail(const std::string& why) {
    listing_.damage = why;
    return false;
  }

private:
  ArchiveListing& listing_;
  TextDecoder decode_;
};

} // namespace

ArchiveListing listArchive(std::span<const std::uint8_t> archive, TextDecoder decode) {
  ArchiveListing listing;
  Lister lister(listing, decode);
  try {
    ByteReader in(archive);
    const auto magic = in.bytes(4);
    if (!std::equal(magic.begin(), magic.end(), "PAF")) {
      lister.fail("no archive (its magic is missing)");
      return listing;
    }
    if (in.u32() == 0) {
      lister.fail("version 0");
      return listing;
    }
    const std::optional<std::string> root = readDecodedText(in, decode, 0);
    std::string rootName = root.value_or("");
    std::transform(rootName.begin(), rootName.end(), rootName.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (rootName != "application") {
      lister.fail("the root folder is not \"Application\"");
      return listing;
    }
    const std::uint32_t rootSize = in.u32();
    if (rootSize > in.remaining()) {
      lister.fail("the root folder runs past the end of the file");
      return listing;
    }
    const std::size_t end = in.position() + rootSize;
    if (!lister.folder(ByteReader(in.bytes(rootSize)), "", 0)) return listing;
    ByteReader trailer(archive.subspan(end));
    if (trailer.remaining() != 8 || trailer.u32() != end || trailer.u32() != 1)
      lister.fail("the trailer does not match the archive");
  } catch (const FormatError&) {
    lister.fail("the archive ends early");
  }
  return listing;
}

} // namespace plumex::container
