#include "hostlib/codecs/quoted_printable.h"

namespace plumex::hostlib::codecs {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kMaxColumn = 72;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Whether a line end (LF, or CR LF) starts at i.
bool lineEndAt(std::string_view text, std::size_t i) {
  return i < text.size() && (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'));
}

} // namespace

std::string encodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 8);
  std::size_t column = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += '\n';
      column = 0;
      continue;
    }
    const bool blank = c == ' ' || c == '\t';
    const bool plain = (c >= 32 && c <= 126 && c != '=') || c == '\t' || c == '\r';
    if (plain && !(blank && lineEndAt(text, i + 1))) {
      out += static_cast<char>(c);
      ++column;
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
      column += 3;
    }
    // A line end of the text's own ends the line anyway.
    if (column > kMaxColumn && i + 1 < text.size() && !lineEndAt(text, i + 1)) {
      out += "=\r\n";
      column = 0;
    }
  }
  if (column > 0) out += "=\r\n";
  return out;
}

std::string decodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c != '=') {
      out += c;
      continue;
    }
    if (i + 1 == n) break;  // a soft break at the end of the data
    if (text[i + 1] == '\n') {
      ++i;
      continue;
    }
    if (text[i + 1] == '\r' && i + 2 < n && text[i + 2] == '\n') {
      i += 2;
      continue;
    }
    const int hi = hexValue(text[i + 1]);
    const int lo = i + 2 < n ? hexValue(text[i + 2]) : -1;
    if (hi >= 0 && lo >= 0) {
      out += static_cast<char>(hi << 4 | lo);
      i += 2;
    } else {
      out += '=';
    }
  }
  return out;
}

} // namespace plumex::hostlib::codecs
