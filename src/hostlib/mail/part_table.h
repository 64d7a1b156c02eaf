#pragma once
// Where a message's bodies, attachments and HTML items lie in its text.
// Bodies are never kept decoded: a read decodes [start, end).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::mail {

// The transfer encodings a body can have; any other reads as None.
enum class Encoding : std::uint8_t { None = 0, QuotedPrintable = 1, Base64 = 2 };

// The name written into Content-Transfer-Encoding headers.
const char* encodingName(Encoding e);
// "quoted-printable" and "base64" (any case); anything else is None.
Encoding encodingFromName(std::string_view name);
// The content type a part of that type and encoding is written with:
// multiparts (which would need a boundary) and encoded messages (RFC 2046
// allows messages no encoding) go as application/octet-stream, since
// readers would take them apart.
std::string writableType(std::string_view type, Encoding e);
// A body's bytes from its encoded form.
std::string decodeBody(std::string_view encoded, Encoding e);

struct Part {
  Encoding encoding = Encoding::None;
  std::string contentType;
  std::string name;       // attachments and HTML items
  std::string contentId;  // HTML items, without the angle brackets
  std::int64_t start = -1;  // -1: none
  std::int64_t end = 0;     // exclusive
  bool present() const { return start >= 0; }
};

// The header fields a message object keeps.
enum class Field { From, ReplyTo, To, Subject, Cc, Bcc, Date };
inline constexpr std::size_t kFieldCount = 7;

struct PartTable {
  Part text;
  Part html;
  std::vector<Part> attachments;
  std::vector<Part> htmlItems;
};

} // namespace plumex::hostlib::mail
