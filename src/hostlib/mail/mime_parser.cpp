#include "hostlib/mail/mime_parser.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "hostlib/codecs/encoded_words.h"
#include "hostlib/mail/header_fields.h"

namespace plumex::hostlib::mail {
namespace {

struct Range {
  std::size_t begin;
  std::size_t end;
};

bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalsIgnoringCase(s.substr(0, prefix.size()), prefix);
}

// The parts of a multipart body: each runs from the line after its
// delimiter to where the line end before the next delimiter begins. A
// delimiter line is "--" boundary, "--" for the closing one, then blanks
// to the line end. Only [body.begin, body.end) is searched; without a
// closing delimiter the last part ends with the body. Empty when no
// delimiter opens a part.
std::vector<Range> splitMultipart(std::string_view message, Range body, std::string_view boundary) {
  const std::string_view text = message.substr(0, body.end);
  const std::string dash = "--" + std::string(boundary);
  std::vector<Range> parts;
  std::optional<std::size_t> open;
  std::size_t pos = body.begin;
  while (true) {
    const std::size_t hit = text.find(dash, pos);
    if (hit == std::string_view::npos) break;
    pos = hit + 1;
    if (hit != body.begin && text[hit - 1] != '\n') continue;
    std::size_t k = hit + dash.size();
    const bool closing = text.compare(k, 2, "--") == 0;
    if (closing) k += 2;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    const std::size_t lineEnd = lineEndAt(text, k);
    if (lineEnd == 0 && k != text.size()) continue;
    // A delimiter right after another opens no part between them.
    if (open && hit != *open) {
      std::size_t end = hit;
      if (end > *open && text[end - 1] == '\n') --end;
      if (end > *open && text[end - 1] == '\r') --end;
      parts.push_back({*open, end});
    }
    if (closing) return parts;
    open = k + lineEnd;
    pos = *open;
  }
  if (open) parts.push_back({*open, body.end});
  return parts;
}

class Parser {
public:
  explicit Parser(std::string_view message, ParsedMessage& out) : message_(message), out_(out) {}

  void part(Range range, int depth, bool inDigest) {
    const std::string_view text = message_.substr(range.begin, range.end - range.begin);
    const HeaderSplit split = splitHeader(text);
    const std::string_view block = text.substr(0, split.headerEnd);
    const Range body{range.begin + split.bodyStart, range.end};
    const std::optional<std::string> contentType = findField(block, "Content-Type");
    std::string type;
    if (!contentType) {
      type = inDigest ? "message/rfc822" : "text/plain";
    } else {
      type = mainValue(*contentType);
      if (std::count(type.begin(), type.end(), '/') != 1) type = "text/plain";
    }
    if (startsWithIgnoringCase(type, "multipart/") && depth < kMaxNesting) {
      const std::optional<std::string> boundary = findParameter(*contentType, "boundary");
      if (boundary && !boundary->empty()) {
        const std::vector<Range> parts = splitMultipart(message_, body, *boundary);
        if (!parts.empty()) {
          const bool digest = equalsIgnoringCase(type, "multipart/digest");
          for (const Range& p : parts) part(p, depth + 1, digest);
          return;
        }
      }
    }
    leaf(block, contentType.value_or(""), type, body);
  }

private:
  void leaf(std::string_view block, std::string_view contentType, std::string type, Range body) {
    const std::string disposition = findField(block, "Content-Disposition").value_or("");
    std::optional<std::string> name = findParameter(contentType, "name");
    if (!name) name = findParameter(disposition, "filename");
    Part p;
    p.encoding = encodingFromName(findField(block, "Content-Transfer-Encoding").value_or(""));
    p.contentType = std::move(type);
    p.name = name ? baseName(codecs::decodeWords(*name)) : std::string();
    p.start = static_cast<std::int64_t>(body.begin);
    p.end = static_cast<std::int64_t>(body.end);

    PartTable& t = out_.parts;
    if (!equalsIgnoringCase(mainValue(disposition), "attachment")) {
      if (equalsIgnoringCase(p.contentType, "text/html") && !t.html.present()) {
        t.html = std::move(p);
        return;
      }
      const bool item = !p.name.empty() && t.html.present();
      if (!item && startsWithIgnoringCase(p.contentType, "text/") && !t.text.present()) {
        t.text = std::move(p);
        return;
      }
      if (item) {
        std::string id = findField(block, "Content-ID").value_or("");
        if (!id.empty() && id.front() == '<') id.erase(0, 1);
        if (!id.empty() && id.back() == '>') id.pop_back();
        p.contentId = std::move(id);
        t.htmlItems.push_back(std::move(p));
        return;
      }
    }
    if (p.name.empty()) p.name = "attachment " + std::to_string(t.attachments.size() + 1);
    t.attachments.push_back(std::move(p));
  }

  std::string_view message_;
  ParsedMessage& out_;
};

std::int32_t priorityOf(const std::optional<std::string>& value) {
  if (!value) return 3;
  std::int32_t n = 3;
  const char* first = value->data();
  const char* last = first + value->size();
  if (first != last && *first == '+') ++first;
  std::from_chars(first, last, n);
  return n;
}

} // namespace

std::string baseName(std::string_view name) {
  const std::size_t cut = name.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

ParsedMessage parseMessage(std::string_view message) {
  ParsedMessage out;
  const std::string_view block = message.substr(0, splitHeader(message).headerEnd);
  static constexpr std::string_view kNames[kFieldCount] = {"From", "Reply-To", "To", "Subject",
                                                           "Cc",   "Bcc",      "Date"};
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (auto value = findField(block, kNames[i])) out.fields[i] = codecs::decodeWords(*value);
  }
  out.priority = priorityOf(findField(block, "X-Priority"));
  Parser(message, out).part({0, message.size()}, 0, false);
  return out;
}

} // namespace plumex::hostlib::mail
