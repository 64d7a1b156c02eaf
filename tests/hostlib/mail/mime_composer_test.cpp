// The writer: its header block, the layouts, the ranges it records (the
// same as the reader finds), and header values that cannot break out of
// their field.

#include "hostlib/mail/mime_composer.h"

#include <gtest/gtest.h>

#include <regex>

#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/quoted_printable.h"
#include "hostlib/mail/boundary.h"
#include "hostlib/mail/header_fields.h"
#include "hostlib/mail/mime_parser.h"
#include "reading.h"

namespace plumex::hostlib::mail {
namespace {

MessagePart freshPart(std::string type, std::string name, std::string body, Encoding e, std::string id = {}) {
  MessagePart p;
  p.part.encoding = e;
  p.part.contentType = std::move(type);
  p.part.name = std::move(name);
  p.part.contentId = std::move(id);
  p.fresh = e == Encoding::QuotedPrintable ? codecs::encodeQuotedPrintable(body)
                                           : codecs::encodeBase64(body, 76) + (body.empty() ? "" : "\r\n");
  return p;
}

class Composing : public ::testing::Test {
protected:
  std::string compose(const HeaderValues& headers, const MessageParts& parts, std::string_view source = {}) {
    boundaries_ = 0;
    StringSource from(source);
    StringSink sink;
    const std::optional<PartTable> t = composeMessage(headers, parts, from, sink, style_);
    EXPECT_TRUE(t);
    if (t) table_ = *t;
    return sink.text;
  }

  int boundaries_ = 0;
  ComposeStyle style_{"windows-1252", 1252, [this] { return "B" + std::to_string(++boundaries_); }};
  PartTable table_;
};

TEST_F(Composing, SingleTextPartExactly) {
  HeaderValues h;
  h.fields[static_cast<std::size_t>(Field::From)] = "a@example.org";
  h.fields[static_cast<std::size_t>(Field::Subject)] = "Hi";
  h.priority = 3;
  MessageParts parts;
  parts.text = freshPart("text/plain", "", "Hello", Encoding::QuotedPrintable);
  EXPECT_EQ(compose(h, parts),
            "From: a@example.org\r\nTo:  \r\nSubject: =?windows-1252?B?SGk=?=\r\nMIME-Version: 1.0\r\n"
            "X-Mailer: Plumex.Quorv\r\nX-Priority: 3\r\nContent-Type: text/plain; charset=\"windows-1252\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\nHello=\r\n");
}

TEST_F(Composing, HeaderBlockHasEveryFieldThatIsSet) {
  HeaderValues h;
  const std::pair<Field, const char*> fields[] = {{Field::From, "a@x"}, {Field::ReplyTo, "r@x"}, {Field::To, "b@x; c@x"},
                                                  {Field::Cc, "d@x"},   {Field::Bcc, "e@x"},     {Field::Date, "today"}};
  for (const auto& [f, v] : fields) h.fields[static_cast<std::size_t>(f)] = v;
  h.fields[static_cast<std::size_t>(Field::Subject)] = std::string(60, 's');
  const std::string block = headerBlock(h, style_);
  EXPECT_EQ(block.substr(0, 40), "From: a@x\r\nTo: b@x; c@x\r\nReply-To: r@x\r\n");
  EXPECT_NE(block.find("\r\nBcc: e@x\r\n"), std::string::npos);  // kept in the stored message
  EXPECT_NE(block.find("\r\nDate: today\r\nMIME-Version: 1.0\r\n"), std::string::npos);
  // The 60-byte subject: two encoded words folded, each line within 76.
  const std::string subject = *findField(block, "Subject");
  EXPECT_EQ(subject.find("?= =?"), subject.rfind("?= =?"));
  std::size_t start = 0;
  for (std::size_t brk; (brk = block.find("\r\n", start)) != std::string::npos; start = brk + 2)
    EXPECT_LE(brk - start, 76u) << block.substr(start, brk - start);
  EXPECT_EQ(parseMessage(block + "\r\n").fields[static_cast<std::size_t>(Field::Subject)], std::string(60, 's'));
}

TEST_F(Composing, HeaderValuesCannotStartFieldsOfTheirOwn) {
  HeaderValues h;
  h.fields[static_cast<std::size_t>(Field::From)] = "a@x\r\nBcc: victim@x";
  h.fields[static_cast<std::size_t>(Field::To)] = "b@x\nX-Injected: 1";
  MessageParts parts;
  parts.text = freshPart("text/plain", "", "t", Encoding::QuotedPrintable);
  parts.attachments.push_back(freshPart("app/x\r\nX-Type: 1", "evil\"\\name\r\nX-Name: 1.bin", "data", Encoding::Base64));
  parts.html = freshPart("text/html", "", "<p>", Encoding::QuotedPrintable);
  parts.htmlItems.push_back(freshPart("image/png", "p.png", "png", Encoding::Base64, "id\r\nX-Id: 1"));
  const std::string text = compose(h, parts);
  EXPECT_EQ(text.find("\r\nBcc:"), std::string::npos);
  for (const char* injected : {"\r\nX-Injected", "\r\nX-Type", "\r\nX-Name", "\r\nX-Id"})
    EXPECT_EQ(text.find(injected), std::string::npos) << injected;
  const ParsedMessage m = parseMessage(text);
  EXPECT_EQ(m.fields[static_cast<std::size_t>(Field::From)], "a@x  Bcc: victim@x");
  ASSERT_EQ(m.parts.attachments.size(), 1u);
  // Quoted with its escapes; read back, the name loses what comes before
  // the backslash like any directory part.
  EXPECT_NE(text.find("name=\"evil\\\"\\\\name  X-Name: 1.bin\""), std::string::npos);
  EXPECT_EQ(m.parts.attachments[0].name, "name  X-Name: 1.bin");
  ASSERT_EQ(m.parts.htmlItems.size(), 1u);
  EXPECT_EQ(m.parts.htmlItems[0].contentId, "id  X-Id: 1");
}

// The shape of a message: its content types, containers with their parts.
std::string shape(std::string_view part) {
  const HeaderSplit split = splitHeader(part);
  const std::string contentType = findField(part.substr(0, split.headerEnd), "Content-Type").value_or("text/plain");
  const std::string type = mainValue(contentType);
  if (type.rfind("multipart/", 0) != 0) return type;
  const std::string delimiter = "\r\n--" + *findParameter(contentType, "boundary");
  std::string out = type + "(";
  std::size_t at = part.find(delimiter, split.bodyStart - 2);
  bool first = true;
  while (at != std::string_view::npos && part.compare(at + delimiter.size(), 2, "--") != 0) {
    const std::size_t begin = at + delimiter.size() + 2;
    at = part.find(delimiter, begin - 2);
    out += (first ? "" : ",") + shape(part.substr(begin, at - begin));
    first = false;
  }
  return out + ")";
}

struct LayoutCase {
  bool text, html, items, attachments;
  std::string shape;
};

TEST_F(Composing, LayoutsFollowTheParts) {
  const std::string alternative = "multipart/alternative(text/plain,text/html)";
  const LayoutCase cases[] = {
      {false, false, false, false, "text/plain"},
      {true, false, false, false, "text/plain"},
      {true, false, false, true, "multipart/mixed(text/plain,application/x-a,application/x-a)"},
      {false, false, false, true, "multipart/mixed(text/plain,application/x-a,application/x-a)"},
      {true, true, true, false, "multipart/related(" + alternative + ",image/png,image/png)"},
      {false, false, true, false, "multipart/related(" + alternative + ",image/png,image/png)"},  // items alone
      {false, true, false, false, "multipart/related(multipart/related(" + alternative + "))"},
      {true, true, false, true,
       "multipart/mixed(multipart/related(" + alternative + "),application/x-a,application/x-a)"},
      {true, true, true, true,
       "multipart/mixed(multipart/related(" + alternative + ",image/png,image/png),application/x-a,application/x-a)"},
      {false, false, true, true,
       "multipart/mixed(multipart/related(" + alternative + ",image/png,image/png),application/x-a,application/x-a)"},
  };
  for (const LayoutCase& c : cases) {
    MessageParts parts;
    if (c.text) parts.text = freshPart("text/plain", "", "Hello", Encoding::QuotedPrintable);
    if (c.html) parts.html = freshPart("text/html", "", "<p>Hello</p>\n", Encoding::QuotedPrintable);
    for (int i = 0; c.items && i < 2; ++i)
      parts.htmlItems.push_back(freshPart("image/png", "i.png", std::string(i, 'i'), Encoding::Base64, "id" + std::to_string(i)));
    for (int i = 0; c.attachments && i < 2; ++i)
      parts.attachments.push_back(freshPart("application/x-a", "a.bin", std::string(100 * i, 'a'), Encoding::Base64));
    const std::string text = compose({}, parts);
    const std::string where = c.shape + (c.text ? " with text" : "");
    EXPECT_EQ(shape(text), c.shape) << where;

    // The writer records what the reader finds.
    const ParsedMessage parsed = parseMessage(text);
    auto same = [&](const Part& written, const Part& read) {
      EXPECT_EQ(written.start, read.start) << where;
      EXPECT_EQ(written.end, read.end) << where;
      EXPECT_EQ(written.name, read.name) << where;
      EXPECT_EQ(written.contentId, read.contentId) << where;
    };
    EXPECT_EQ(table_.text.present(), c.text) << where;
    if (c.text) same(table_.text, parsed.parts.text);
    if (c.html) same(table_.html, parsed.parts.html);
    ASSERT_EQ(parsed.parts.htmlItems.size(), table_.htmlItems.size()) << where;
    for (std::size_t i = 0; i < table_.htmlItems.size(); ++i) same(table_.htmlItems[i], parsed.parts.htmlItems[i]);
    ASSERT_EQ(parsed.parts.attachments.size(), table_.attachments.size()) << where;
    for (std::size_t i = 0; i < table_.attachments.size(); ++i) same(table_.attachments[i], parsed.parts.attachments[i]);
    const testing::Reading r = testing::readMessage(text);
    EXPECT_EQ(r.text ? r.text->body : "", c.text ? "Hello" : "") << where;
    if (c.attachments) {
      EXPECT_EQ(r.attachments[1].body, std::string(100, 'a')) << where;
    }
  }
}

TEST_F(Composing, TextReadsBackExactly) {
  // As written before: "Hello" came back "Hello=", "Hello\n" as "Hell".
  for (const std::string body : {"Hello", "Hello\n", "Hello\r\n", "trailing \t", "=", "", "a\n\nb  \n"}) {
    for (const bool single : {true, false}) {
      MessageParts parts;
      parts.text = freshPart("text/plain", "", body, Encoding::QuotedPrintable);
      if (!single) parts.attachments.push_back(freshPart("a/b", "x", "x", Encoding::Base64));
      const testing::Reading r = testing::readMessage(compose({}, parts));
      ASSERT_TRUE(r.text);
      EXPECT_EQ(r.text->body, body) << (single ? "single" : "multipart");
    }
  }
}

TEST_F(Composing, StoredPartsAreCopiedWithTheirEncoding) {
  MessageParts parts;
  parts.text = freshPart("text/plain", "", "Text\n", Encoding::QuotedPrintable);
  parts.html = freshPart("text/html", "", "<p>", Encoding::QuotedPrintable);
  parts.htmlItems.push_back(freshPart("image/gif", "g.gif", "GIF89a", Encoding::Base64, "g"));
  parts.attachments.push_back(freshPart("application/zip", "z.zip", std::string(5000, 'z'), Encoding::Base64));
  const std::string first = compose({}, parts);
  const PartTable firstTable = table_;

  // A part of no known encoding, as loaded messages have them.
  MessageParts stored;
  auto keep = [](const Part& p) { return MessagePart{p, std::nullopt}; };
  stored.text = keep(firstTable.text);
  stored.html = keep(firstTable.html);
  stored.htmlItems.push_back(keep(firstTable.htmlItems[0]));
  stored.attachments.push_back(keep(firstTable.attachments[0]));
  stored.attachments.push_back(keep(firstTable.html));
  stored.attachments.back().part.encoding = Encoding::None;
  stored.attachments.back().part.name = "raw.txt";
  HeaderValues h;
  h.fields[static_cast<std::size_t>(Field::Subject)] = "again";
  const std::string second = compose(h, stored, first);
  const testing::Reading a = testing::readMessage(first), b = testing::readMessage(second);
  EXPECT_EQ(b.text->body, a.text->body);
  EXPECT_EQ(b.html->body, a.html->body);
  EXPECT_EQ(b.items[0].body, a.items[0].body);
  EXPECT_EQ(b.attachments[0].body, a.attachments[0].body);
  EXPECT_EQ(b.attachments[1].body, "<p>=\r\n");  // copied as it was encoded
  EXPECT_NE(second.find("Content-Transfer-Encoding: binary\r\nContent-Disposition: attachment; filename=\"raw.txt\""),
            std::string::npos);
  // A failed copy fails the whole composition.
  StringSource shortSource(first.substr(0, 10));
  StringSink sink;
  EXPECT_FALSE(composeMessage(h, stored, shortSource, sink, style_));
}

TEST_F(Composing, TextBodyKeepsItsTypeUnlessItWouldReadAsHtml) {
  for (const auto& [type, written] : std::initializer_list<std::pair<const char*, const char*>>{
           {"text/enriched", "text/enriched"}, {"TEXT/HTML", "text/plain"}, {"image/png", "text/plain"}}) {
    MessageParts parts;
    parts.text = freshPart(type, "", "the text", Encoding::QuotedPrintable);
    parts.html = freshPart("text/html", "", "the html", Encoding::QuotedPrintable);
    const testing::Reading r = testing::readMessage(compose({}, parts));
    ASSERT_TRUE(r.text && r.html) << type;
    EXPECT_EQ(r.text->type, written);
    EXPECT_EQ(r.text->body, "the text");
    EXPECT_EQ(r.html->body, "the html");
  }
}

TEST_F(Composing, CompositeTypesAreWrittenAsBytes) {
  EXPECT_EQ(writableType("multipart/mixed", Encoding::None), "application/octet-stream");
  EXPECT_EQ(writableType("message/rfc822", Encoding::Base64), "application/octet-stream");
  EXPECT_EQ(writableType("Message/RFC822", Encoding::None), "Message/RFC822");
  EXPECT_EQ(writableType("image/png", Encoding::Base64), "image/png");
}

TEST(Boundaries, DifferWithinAProcess) {
  const std::regex format("====_PLUMEX_MAIL_PART_[0-9A-F]+\\.[0-9A-F]+\\.[0-9A-F]+_====");
  const std::string a = newBoundary(), b = newBoundary();
  EXPECT_TRUE(std::regex_match(a, format)) << a;
  EXPECT_TRUE(std::regex_match(b, format)) << b;
  EXPECT_NE(a, b);
}

} // namespace
} // namespace plumex::hostlib::mail
