#include "container/prefixed_text.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/ansi_text.h"

namespace plumex::container {

std::optional<std::u16string> readPrefixedUtf16(ByteReader& in) {
  const std::uint32_t count = in.u32();
  if (count == 0) return std::nullopt;
  if (count > in.remaining() / 2) throw FormatError("text runs past the end of its record");
  std::span<const std::uint8_t> raw = in.bytes(std::size_t{count} * 2);
  std::u16string text;
  text.reserve(count);
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(raw[i] | (raw[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::optional<std::string> readOptionalText(ByteReader& in, std::size_t capacity) {
  std::optional<std::u16string> wide = readPrefixedUtf16(in);
  if (!wide) return std::nullopt;
  std::string ansi = utf16ToAnsi(*wide);
  if (capacity != 0 && ansi.size() >= capacity) ansi.resize(capacity - 1);
  return ansi;
}

std::string readPrefixedText(ByteReader& in, std::size_t capacity) {
  return readOptionalText(in, capacity).value_or(std::string());
}

void writePrefixedText(ByteWriter& out, std::u16string_view text) {
  // A NUL inside the text would end it for every reader; store what they see.
  text = text.substr(0, std::min(text.size(), text.find(u'\0')));
  out.u32(static_cast<std::uint32_t>(text.size() + 1));
  for (char16_t c : text) out.u16(c);
  out.u16(0);
}

void writeAnsiText(ByteWriter& out, std::string_view ansi) {
  writePrefixedText(out, ansiToUtf16(ansi));
}

bool isSafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
      return false;
  }
  // Windows ignores trailing dots and spaces, and a device name stays a
  // device whatever extension follows it.
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end()) return false;
  // Windows counts the superscript digits 1, 2 and 3 of the code page as
  // port numbers too.
  const auto port = [](char c) {
    return (c >= '0' && c <= '9') || c == '\xB9' || c == '\xB2' || c == '\xB3';
  };
  if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && port(base[3]))
    return false;
  const char last = name.back();
  return last != '.' && last != ' ';
}

} // namespace plumex::container
