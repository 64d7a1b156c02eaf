#include "png_writer.h"

#include <zlib.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace plumex::testing {
namespace {

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[5],
              const std::vector<std::uint8_t>& data) {
  putU32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  putU32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 ||
      rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
    throw std::invalid_argument("encodePng: bad image size");

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

  std::vector<std::uint8_t> header;
  putU32(header, static_cast<std::uint32_t>(width));
  putU32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit, RGB, deflate, no filter, no interlace
  putChunk(out, "IHDR", header);

  // Every row starts with filter type 0.
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto* row = rgb.data() + rowBytes * static_cast<std::size_t>(y);
    raw.insert(raw.end(), row, row + rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw std::runtime_error("encodePng: deflate failed");
  packed.resize(packedSize);
  putChunk(out, "IDAT", packed);
  putChunk(out, "IEND", {});
  return out;
}

bool writePngFile(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgb) {
  const std::vector<std::uint8_t> bytes = encodePng(width, height, rgb);
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

} // namespace plumex::testing
