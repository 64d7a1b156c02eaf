#include "container/archive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "container/container_errors.h"
#include "container/prefixed_text.h"
#include "platform/ansi_text.h"
#include "platform/files.h"

namespace plumex::container {
namespace {

// Entries are read, inflated and written in blocks this large: zlib's cost
// per call (it copies each call's output into its window) and the system
// calls fade, and a block zlib has just written is still in cache when the
// CRC-32 reads it.
constexpr std::size_t kBlock = 256 * 1024;
// Folders nest no deeper than paths can reach; the bound keeps a crafted
// archive from exhausting the stack.
constexpr int kMaxDepth = 64;

bool readU32(InputFile& f, std::uint32_t& v) {
  std::uint8_t b[4];
  if (!f.readExactly(b, 4)) return false;
  v = std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
      (std::uint32_t{b[3]} << 24);
  return true;
}

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// A length-prefixed name, its bytes charged to `budget`. nullopt when it does
// not fit the budget or the file.
std::optional<std::string> readName(InputFile& f, std::int64_t& budget) {
  std::uint32_t count = 0;
  if (!readU32(f, count)) return std::nullopt;
  budget -= 4;
  if (budget < 0 || count > static_cast<std::uint64_t>(budget) / 2) return std::nullopt;
  std::vector<std::uint8_t> raw(std::size_t{count} * 2);
  if (!f.readExactly(raw.data(), raw.size())) return std::nullopt;
  budget -= static_cast<std::int64_t>(raw.size());
  std::u16string text;
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(raw[i] | (raw[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  std::string ansi = utf16ToAnsi(text);
  if (ansi.size() >= kNameCapacity) ansi.resize(kNameCapacity - 1);
  return ansi;
}

struct EntryHeader {
  std::uint32_t kind = 0;
  std::string name;
  std::uint32_t size = 0;
};

// Reads the next entry's header within `budget`; charges kind, name and
// size+4 to it. nullopt when the entry does not fit.
std::optional<EntryHeader> nextEntry(InputFile& f, std::int64_t& budget) {
  EntryHeader e;
  if (!readU32(f, e.kind)) return std::nullopt;
  budget -= 4;
  std::optional<std::string> name = readName(f, budget);
  if (!name || budget < 0) return std::nullopt;
  e.name = std::move(*name);
  if (!readU32(f, e.size)) return std::nullopt;
  if (budget < std::int64_t{e.size} + 4) return std::nullopt;
  budget -= std::int64_t{e.size} + 4;
  return e;
}

std::optional<EntryHeader> searchFolder(InputFile& f, const std::string& name, std::int64_t budget) {
  while (budget > 4) {
    std::optional<EntryHeader> e = nextEntry(f, budget);
    if (!e) return std::nullopt;
    if (ansiEqualIgnoringCase(e->name, name)) return e;
    if (!f.seek(f.position() + e->size)) return std::nullopt;
  }
  return std::nullopt;
}

struct InflateStream {
  z_stream z{};
  bool live = false;
  ~InflateStream() {
    if (live) inflateEnd(&z);
  }
};

// The input and output blocks of one extraction, made on the first file that
// needs them and shared by the rest. Not zeroed: that would cost a small
// file more than inflating it.
class Blocks {
public:
  std::uint8_t* input() { return get(input_); }
  std::uint8_t* output() { return get(output_); }

private:
  static std::uint8_t* get(std::unique_ptr<std::uint8_t[]>& block) {
    if (!block) block = std::make_unique_for_overwrite<std::uint8_t[]>(kBlock);
    return block.get();
  }
  std::unique_ptr<std::uint8_t[]> input_, output_;
};

// Writes the entry to a temporary name and moves it into place only once its
// CRC-32 matches, so a half-written file is never served as valid later.
std::string extractFile(InputFile& f, const std::string& target, std::uint32_t size, Blocks& blocks) {
  if (fileExists(target)) return target;
  if (size < 4) return {};
  const std::uint64_t contentStart = f.position();
  const std::string temp = target + ".part";
  OutputFile out;
  if (!out.create(temp)) return {};
  auto discard = [&] {
    out.close();
    removeFile(temp);
  };

  InflateStream stream;
  if (inflateInit(&stream.z) != Z_OK) {
    discard();
    throw CZipException(Z_MEM_ERROR);
  }
  stream.live = true;
  std::uint8_t* const in = blocks.input();
  std::uint8_t* const block = blocks.output();
  // Inflated bytes in `block` not yet written: the file gets whole blocks.
  std::size_t filled = 0;
  std::uint32_t left = size - 4;
  uLong crc = crc32(0L, nullptr, 0);
  int rc = Z_OK;
  while (left > 0 && rc != Z_STREAM_END) {
    const std::size_t got = f.read(in, std::min<std::size_t>(left, kBlock));
    if (got == 0) break;
    left -= static_cast<std::uint32_t>(got);
    stream.z.next_in = in;
    stream.z.avail_in = static_cast<uInt>(got);
    while (stream.z.avail_in > 0 && rc != Z_STREAM_END) {
      std::uint8_t* const fresh = block + filled;
      stream.z.next_out = fresh;
      stream.z.avail_out = static_cast<uInt>(kBlock - filled);
      rc = inflate(&stream.z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) {
        discard();
        throw CZipException(rc == Z_NEED_DICT ? Z_DATA_ERROR : rc);
      }
      const std::size_t produced = kBlock - filled - stream.z.avail_out;
      crc = crc32(crc, fresh, static_cast<uInt>(produced));
      filled += produced;
      if (filled == kBlock) {
        if (!out.write(block, filled)) {
          discard();
          return {};
        }
        filled = 0;
      }
    }
  }
  if (!out.write(block, filled)) {
    discard();
    return {};
  }

  std::uint32_t stored = 0;
  const bool complete = rc == Z_STREAM_END && f.seek(contentStart + size - 4) && readU32(f, stored);
  if (!out.close() || !complete || stored != static_cast<std::uint32_t>(crc)) {
    removeFile(temp);
    return {};
  }
  if (!renameFile(temp, target)) {
    removeFile(temp);
    return {};
  }
  return target;
}

std::string extractFolder(InputFile& f, const std::string& target, std::int64_t budget, int depth,
                          Blocks& blocks) {
  if (depth > kMaxDepth || !makeDirectory(target)) return {};
  while (budget > 4) {
    std::optional<EntryHeader> e = nextEntry(f, budget);
    if (!e) break;
    const std::uint64_t start = f.position();
    // Names that could leave the folder, or name a device, are never written.
    if (isSafeFileName(e->name)) {
      if (e->kind != 0)
        extractFolder(f, target + e->name + kPathSeparator, e->size, depth + 1, blocks);
      else
        extractFile(f, target + e->name, e->size, blocks);
    }
    if (!f.seek(start + e->size)) break;
  }
  return target;
}

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::string besideExecutable(const ExtractRequest& r, const std::vector<std::string>& parts) {
  const std::size_t cut = r.executable.find_last_of("\\/");
  std::string path = (cut == std::string::npos ? std::string(".") : r.executable.substr(0, cut));
  path += kPathSeparator;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) path += kPathSeparator;
    path += parts[i];
  }
  const bool trailing = !r.archivePath.empty() &&
                        (r.archivePath.back() == '/' || r.archivePath.back() == '\\');
  if (trailing && !parts.empty()) path += kPathSeparator;
  return fileExists(path) || directoryExists(path) ? path : std::string();
}

std::string extractOrThrow(const ExtractRequest& r) {
  const std::vector<std::string> parts = splitPath(r.archivePath);
  for (const std::string& p : parts)
    if (!isSafeFileName(p)) return {};

  InputFile f;
  if (!f.open(r.executable)) return {};
  const std::optional<std::uint64_t> start = locateArchive(f);
  if (!start) return {};

  char magic[4] = {};
  std::uint32_t version = 0;
  std::int64_t rootBudget = 1 << 20;
  const bool haveHeader = f.seek(*start) && f.readExactly(magic, 4) && readU32(f, version);
  std::optional<std::string> rootName = haveHeader ? readName(f, rootBudget) : std::nullopt;
  if (!haveHeader || std::memcmp(magic, "PAF\0", 4) != 0 || version == 0 || !rootName ||
      !ansiEqualIgnoringCase(*rootName, "Application"))
    return besideExecutable(r, parts);

  std::uint32_t rootLength = 0;
  if (!readU32(f, rootLength) || rootLength > f.size() - f.position()) return {};
  if (r.runFolder.empty()) return {};

  std::string dir = r.runFolder + "_extra" + kPathSeparator;
  if (!makeDirectory(dir)) return {};
  std::int64_t budget = rootLength;
  Blocks blocks;
  for (const std::string& part : parts) {
    std::optional<EntryHeader> e = searchFolder(f, part, budget);
    if (!e) return {};
    dir += part;
    if (e->kind == 0) return extractFile(f, dir, e->size, blocks);
    dir += kPathSeparator;
    if (!makeDirectory(dir)) return {};
    budget = e->size;
  }
  return extractFolder(f, dir, budget, 0, blocks);
}

} // namespace

std::optional<std::uint64_t> locateArchive(InputFile& exe) {
  std::uint8_t dos[64];
  if (!exe.seek(0) || !exe.readExactly(dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
    return std::nullopt;
  const std::uint32_t peAt = le32(dos + 0x3C);
  std::uint8_t pe[24];
  if (!exe.seek(peAt) || !exe.readExactly(pe, sizeof pe) || std::memcmp(pe, "PE\0\0", 4) != 0)
    return std::nullopt;
  const std::uint16_t sections = le16(pe + 4 + 2);
  const std::uint16_t optionalSize = le16(pe + 4 + 16);
  if (!exe.seek(std::uint64_t{peAt} + 24 + optionalSize)) return std::nullopt;
  std::uint32_t bestOffset = 0, bestSize = 0;
  bool any = false;
  for (std::uint16_t i = 0; i < sections; ++i) {
    std::uint8_t h[40];
    if (!exe.readExactly(h, sizeof h)) return std::nullopt;
    const std::uint32_t size = le32(h + 16), offset = le32(h + 20);
    if (!any || offset > bestOffset) {
      bestOffset = offset, bestSize = size, any = true;
    }
  }
  if (!any) return std::nullopt;
  return std::uint64_t{bestOffset} + bestSize;
}

std::string extract(const ExtractRequest& request) {
  try {
    return extractOrThrow(request);
  } catch (const std::exception& e) {
    if (request.report) request.report(std::string(e.what()).substr(0, 260));
    return {};
  }
}

} // namespace plumex::container
