#include "hostlib/mail/mime_composer.h"

#include "hostlib/codecs/encoded_words.h"
#include "hostlib/mail/header_fields.h"

namespace plumex::hostlib::mail {
namespace {

constexpr std::string_view kPreamble = "This is a multi-part message in MIME format.\r\n\r\n";
constexpr std::string_view kDefaultAttachmentType = "application/octet-stream";
// What is left of the first line after "Subject: " for an encoded word,
// so that the line stays within RFC 2047's 76 characters.
constexpr std::size_t kSubjectRoom = 76 - 9;

// Header text with its line ends made spaces, so that no value can start a
// field of its own.
std::string oneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

// A content type as written before its parameters: quotes and ";" would
// hide or end what follows, so they go too.
std::string typeText(std::string_view type) {
  std::string out = oneLine(type);
  for (char& c : out)
    if (c == '"' || c == ';') c = ' ';
  return out;
}

bool isTextType(std::string_view type) { return type.size() > 5 && equalsIgnoringCase(type.substr(0, 5), "text/"); }

// The inside of a quoted string.
std::string quoted(std::string_view text) {
  std::string out;
  for (const char c : oneLine(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

class Composer {
public:
  Composer(ByteSource& source, ByteSink& sink, const ComposeStyle& style)
      : source_(source), sink_(sink), style_(style) {}

  bool ok() const { return ok_; }
  PartTable& table() { return table_; }

  void put(std::string_view s) {
    if (ok_) ok_ = sink_.write(s);
  }

  void body(const MessageParts& parts) {
    const bool html = parts.html.present();
    const bool items = !parts.htmlItems.empty(), attachments = !parts.attachments.empty();
    if (!html && !items && !attachments) {
      // A single part ends with its body.
      table_.text = textPart(parts.text, "text/plain");
    } else if (!html && !items) {
      const std::string b = style_.newBoundary();
      open("Content-Type: multipart/mixed;\r\n\tboundary=\"" + b + "\"\r\n");
      child(b);
      table_.text = textPart(parts.text, "text/plain");
      endChild();
      writeAttachments(parts, b);
      close(b);
      put("\r\n");
    } else if (!attachments) {
      const std::string b = style_.newBoundary();
      open("Content-Type: multipart/related;\r\n\ttype=\"multipart/alternative\";\r\n\tboundary=\"" + b + "\"\r\n");
      child(b);
      if (items) {
        alternative(parts);
        endChild();
        writeItems(parts, b);
      } else {
        related(parts);
        endChild();
      }
      close(b);
      put("\r\n");
    } else {
      const std::string b = style_.newBoundary();
      open("Content-Type: multipart/mixed;\r\n\tboundary=\"" + b + "\"\r\n");
      child(b);
      related(parts);
      endChild();
      writeAttachments(parts, b);
      close(b);
      put("\r\n");
    }
  }

private:
  void open(const std::string& contentType) {
    put(contentType);
    put("\r\n");
    put(kPreamble);
  }
  void child(const std::string& b) { put("--" + b + "\r\n"); }
  // The line end before the next delimiter belongs to that delimiter.
  void endChild() { put("\r\n"); }
  void close(const std::string& b) { put("--" + b + "--\r\n"); }

  // The nested multipart/related: the alternative container, then the items.
  void related(const MessageParts& parts) {
    const std::string b = style_.newBoundary();
    open("Content-Type: multipart/related;\r\n\tboundary=\"" + b + "\";\r\n\ttype=\"multipart/alternative\"\r\n");
    child(b);
    alternative(parts);
    endChild();
    writeItems(parts, b);
    close(b);
  }

  void alternative(const MessageParts& parts) {
    const std::string b = style_.newBoundary();
    open("Content-Type: multipart/alternative;\r\n\tboundary=\"" + b + "\"\r\n");
    child(b);
    table_.text = textPart(parts.text, "text/plain");
    endChild();
    child(b);
    table_.html = textPart(parts.html, "text/html");
    endChild();
    close(b);
  }

  void writeAttachments(const MessageParts& parts, const std::string& b) {
    for (const MessagePart& a : parts.attachments) {
      child(b);
      const std::string type = a.part.contentType.empty() ? std::string(kDefaultAttachmentType)
                                                          : writableType(a.part.contentType, a.part.encoding);
      put("Content-Type: " + typeText(type) + "; name=\"" + quoted(a.part.name) + "\"\r\n");
      put("Content-Transfer-Encoding: " + std::string(encodingName(a.part.encoding)) + "\r\n");
      put("Content-Disposition: attachment; filename=\"" + quoted(a.part.name) + "\"\r\n\r\n");
      table_.attachments.push_back(bodyOf(a));
      endChild();
    }
  }

  void writeItems(const MessageParts& parts, const std::string& b) {
    for (const MessagePart& item : parts.htmlItems) {
      child(b);
      const std::string type = item.part.contentType.empty() ? std::string(kDefaultAttachmentType)
                                                             : writableType(item.part.contentType, item.part.encoding);
      put("Content-Type: " + typeText(type) + "; name=\"" + quoted(item.part.name) + "\"\r\n");
      put("Content-Transfer-Encoding: " + std::string(encodingName(item.part.encoding)) + "\r\n");
      if (!item.part.contentId.empty()) put("Content-ID: <" + oneLine(item.part.contentId) + ">\r\n");
      put("\r\n");
      table_.htmlItems.push_back(bodyOf(item));
      endChild();
    }
  }

  // A text or HTML part; a missing body is written empty and stays absent.
  Part textPart(const MessagePart& mp, std::string_view defaultType) {
    const Encoding encoding = mp.present() ? mp.part.encoding : Encoding::QuotedPrintable;
    // The text body keeps a text type of its own, but never one a reader
    // would take for the HTML body.
    std::string type(defaultType);
    if (defaultType == "text/plain" && isTextType(mp.part.contentType) && !equalsIgnoringCase(mp.part.contentType, "text/html"))
      type = mp.part.contentType;
    put("Content-Type: " + typeText(type) + "; charset=\"" + std::string(style_.charset) + "\"\r\n");
    put("Content-Transfer-Encoding: " + std::string(encodingName(encoding)) + "\r\n\r\n");
    if (!mp.present()) return Part{};
    Part p = bodyOf(mp);
    p.contentType = type;
    return p;
  }

  // Writes the body; its descriptor with the range it now has.
  Part bodyOf(const MessagePart& mp) {
    Part p = mp.part;
    p.start = static_cast<std::int64_t>(sink_.written());
    if (mp.fresh) {
      put(*mp.fresh);
    } else if (mp.part.present() && ok_) {
      ok_ = source_.copy(static_cast<std::uint64_t>(mp.part.start), static_cast<std::uint64_t>(mp.part.end), sink_);
    }
    p.end = static_cast<std::int64_t>(sink_.written());
    return p;
  }

  ByteSource& source_;
  ByteSink& sink_;
  const ComposeStyle& style_;
  PartTable table_;
  bool ok_ = true;
};

} // namespace

std::string headerBlock(const HeaderValues& headers, const ComposeStyle& style) {
  const auto& f = headers.fields;
  auto field = [&](Field which) -> const std::optional<std::string>& { return f[static_cast<std::size_t>(which)]; };
  std::string out;
  auto line = [&](std::string_view name, std::string_view value) {
    out += name;
    out += ": ";
    out += oneLine(value);
    out += "\r\n";
  };
  line("From", field(Field::From).value_or(" "));
  line("To", field(Field::To).value_or(" "));
  if (field(Field::ReplyTo)) line("Reply-To", *field(Field::ReplyTo));
  if (field(Field::Cc)) line("Cc", *field(Field::Cc));
  if (field(Field::Bcc)) line("Bcc", *field(Field::Bcc));
  out += "Subject: ";
  if (field(Field::Subject))
    out += codecs::encodeWords(*field(Field::Subject), style.charset, style.codePage, kSubjectRoom);
  out += "\r\n";
  if (field(Field::Date)) line("Date", *field(Field::Date));
  out += "MIME-Version: 1.0\r\nX-Mailer: Plumex.Quorv\r\nX-Priority: ";
  out += std::to_string(headers.priority);
  out += "\r\n";
  return out;
}

std::optional<PartTable> composeMessage(const HeaderValues& headers, const MessageParts& parts,
                                        ByteSource& source, ByteSink& sink, const ComposeStyle& style) {
  Composer c(source, sink, style);
  c.put(headerBlock(headers, style));
  c.body(parts);
  if (!c.ok()) return std::nullopt;
  return std::move(c.table());
}

} // namespace plumex::hostlib::mail
