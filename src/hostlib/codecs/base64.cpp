#include "hostlib/codecs/base64.h"

#include <array>

namespace plumex::hostlib::codecs {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t kSkip = 0xFF;
constexpr std::uint8_t kStop = 0xFE;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kSkip;
  for (std::uint8_t i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = i;
  t['='] = kStop;
  return t;
}
constexpr auto kDecode = makeDecodeTable();

template <class Out>
void encodeInto(const std::uint8_t* in, std::size_t n, std::size_t lineLength, Out& out) {
  const std::size_t chars = (n + 2) / 3 * 4;
  const std::size_t breaks = lineLength > 0 && chars > 0 ? (chars - 1) / lineLength : 0;
  out.resize(chars + 2 * breaks);
  auto* o = out.data();
  std::size_t column = 0;
  auto put = [&](char c) {
    if (lineLength > 0 && column == lineLength) {
      *o++ = '\r';
      *o++ = '\n';
      column = 0;
    }
    *o++ = c;
    ++column;
  };
  std::size_t i = 0;
  if (lineLength == 0 || lineLength % 4 == 0) {
    // Whole groups never straddle a line break: four characters at a time.
    const std::size_t groupsPerLine = lineLength / 4;
    std::size_t groupsOnLine = 0;
    for (; i + 3 <= n; i += 3) {
      if (groupsPerLine && groupsOnLine == groupsPerLine) {
        *o++ = '\r';
        *o++ = '\n';
        groupsOnLine = 0;
      }
      const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
      o[0] = kAlphabet[v >> 18];
      o[1] = kAlphabet[(v >> 12) & 63];
      o[2] = kAlphabet[(v >> 6) & 63];
      o[3] = kAlphabet[v & 63];
      o += 4;
      ++groupsOnLine;
    }
    column = groupsOnLine * 4;
  }
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
    put(kAlphabet[v >> 18]);
    put(kAlphabet[(v >> 12) & 63]);
    put(kAlphabet[(v >> 6) & 63]);
    put(kAlphabet[v & 63]);
  }
  if (i < n) {
    const std::uint32_t v = std::uint32_t{in[i]} << 16 | (i + 1 < n ? std::uint32_t{in[i + 1]} << 8 : 0);
    put(kAlphabet[v >> 18]);
    put(kAlphabet[(v >> 12) & 63]);
    put(i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=');
    put('=');
  }
}

template <class Out>
void decodeInto(std::string_view text, Out& out) {
  using Unit = typename Out::value_type;
  out.resize(text.size() / 4 * 3 + 3);
  auto* o = out.data();
  std::uint32_t group = 0;
  int have = 0;
  for (const char c : text) {
    const std::uint8_t v = kDecode[static_cast<unsigned char>(c)];
    if (v == kSkip) continue;
    if (v == kStop) break;
    group = group << 6 | v;
    if (++have == 4) {
      *o++ = static_cast<Unit>(group >> 16);
      *o++ = static_cast<Unit>(group >> 8);
      *o++ = static_cast<Unit>(group);
      group = 0;
      have = 0;
    }
  }
  // A final incomplete group gives the bytes it holds whole.
  if (have == 2) {
    *o++ = static_cast<Unit>(group >> 4);
  } else if (have == 3) {
    *o++ = static_cast<Unit>(group >> 10);
    *o++ = static_cast<Unit>(group >> 2);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

} // namespace

std::string encodeBase64(std::span<const std::uint8_t> bytes, std::size_t lineLength) {
  std::string out;
  encodeInto(bytes.data(), bytes.size(), lineLength, out);
  return out;
}

std::string encodeBase64(std::string_view bytes, std::size_t lineLength) {
  std::string out;
  encodeInto(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), lineLength, out);
  return out;
}

std::vector<std::uint8_t> decodeBase64(std::string_view text) {
  std::vector<std::uint8_t> out;
  decodeInto(text, out);
  return out;
}

std::string decodeBase64ToString(std::string_view text) {
  std::string out;
  decodeInto(text, out);
  return out;
}

} // namespace plumex::hostlib::codecs
