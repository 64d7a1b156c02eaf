#include "hostlib/codecs/encoded_words.h"

#include <optional>

#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/charsets.h"

namespace plumex::hostlib::codecs {
namespace {

// "=?" "?B?" "?="
constexpr std::size_t kWordOverhead = 7;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string decodeQ(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) << 4 | hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

struct Word {
  std::size_t length;  // of the whole word as written
  std::string bytes;
};

// The encoded word that starts at text[at], when one is well formed there.
std::optional<Word> wordAt(std::string_view text, std::size_t at) {
  if (text.compare(at, 2, "=?") != 0) return std::nullopt;
  const std::size_t charsetEnd = text.find('?', at + 2);
  if (charsetEnd == std::string_view::npos || charsetEnd == at + 2) return std::nullopt;
  for (std::size_t i = at + 2; i < charsetEnd; ++i)
    if (isBlank(text[i])) return std::nullopt;
  if (charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return std::nullopt;
  const char kind = text[charsetEnd + 1];
  if (kind != 'Q' && kind != 'q' && kind != 'B' && kind != 'b') return std::nullopt;
  const std::size_t payload = charsetEnd + 3;
  const std::size_t end = text.find("?=", payload);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view encoded = text.substr(payload, end - payload);
  for (const char c : encoded)
    if (isBlank(c)) return std::nullopt;
  return Word{end + 2 - at, kind == 'Q' || kind == 'q' ? decodeQ(encoded) : decodeBase64ToString(encoded)};
}

} // namespace

std::string encodeWords(std::string_view text, std::string_view charset, unsigned codePage,
                        std::size_t firstWordRoom) {
  std::string out;
  std::size_t room = firstWordRoom;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t overhead = kWordOverhead + charset.size();
    // Whole base64 groups only, and at least one character per word.
    const std::size_t groups = room > overhead ? (room - overhead) / 4 : 0;
    const std::size_t maxBytes = groups > 0 ? groups * 3 : 1;
    std::size_t end = i;
    while (end < text.size()) {
      const std::size_t n = characterLength(codePage, text, end);
      if (end + n - i > maxBytes && end > i) break;
      end += n;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?";
    out += charset;
    out += "?B?";
    out += encodeBase64(text.substr(i, end - i));
    out += "?=";
    i = end;
    room = kMaxEncodedWord;
  }
  return out;
}

std::string decodeWords(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  bool afterWord = false;
  while (i < text.size()) {
    if (auto word = wordAt(text, i)) {
      out += word->bytes;
      i += word->length;
      afterWord = true;
      continue;
    }
    if (afterWord && isBlank(text[i])) {
      // Blanks between two encoded words are not part of the text.
      std::size_t next = i;
      while (next < text.size() && isBlank(text[next])) ++next;
      if (next < text.size() && wordAt(text, next)) {
        i = next;
        continue;
      }
    }
    out += text[i++];
    afterWord = false;
  }
  return out;
}

} // namespace plumex::hostlib::codecs
