// The reader's rules: header lookup, part ranges, multipart limits, how
// leaves are sorted, and the names it gives.

#include "hostlib/mail/header_fields.h"
#include "hostlib/mail/mime_parser.h"

#include <gtest/gtest.h>

#include "reading.h"

namespace plumex::hostlib::mail {
namespace {

using testing::readMessage;

std::string crlf(std::string_view lf) {
  std::string out;
  for (const char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const std::optional<std::string>& field(const ParsedMessage& m, Field f) { return m.fields[static_cast<std::size_t>(f)]; }

TEST(HeaderLookup, FindsNamesOnlyAtLineStarts) {
  const std::string block = crlf(
      "Delivered-To: wrong@example.org\nTo: right@example.org\nBcc: hidden@example.org\nCc:nospace@example.org\n"
      "Subject: first\n part\n\tand tab\nX-Priority: 1 (Highest)\nReply-To: \n");
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"To", "right@example.org"},         {"to", "right@example.org"},   {"Cc", "nospace@example.org"},
      {"Bcc", "hidden@example.org"},       {"Subject", "first part and tab"}, {"Reply-To", ""},
      {"From", std::nullopt},              {"Delivered", std::nullopt},   {"X-Priority", "1 (Highest)"}};
  for (const auto& [name, value] : cases) EXPECT_EQ(findField(block, name), value) << name;
  // Bare LF line ends read the same.
  EXPECT_EQ(findField("Subject: a\n b\nTo: c\n", "Subject"), "a b");
}

TEST(HeaderLookup, ParametersMatchWholeNames) {
  const std::string_view disposition = "attachment; filename=\"report.pdf\"";
  EXPECT_EQ(findParameter(disposition, "name"), std::nullopt);
  EXPECT_EQ(findParameter(disposition, "filename"), "report.pdf");
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"text/plain; name=plain.txt; charset=x", "plain.txt"},
      {"text/plain; NAME = \"spaced\"", "spaced"},
      {"text/plain; name=\"a;b\\\"c\\\\d\"; x=1", "a;b\"c\\d"},  // a quoted ";" and escapes
      {"text/plain; filename=f; xname=x", std::nullopt},
      {"text/plain; title*0*=us-ascii'en'This%20is%20; title*1=\" fun\"", std::nullopt},
      {"multipart/signed; name*=\"ansi-x3.4-1968''Eq%3Dual\"", "Eq=ual"},
      {"x/y; name*0*=utf-8''%C3%A9; name*1=t%C3%A9", "\xc3\xa9t%C3%A9"},  // only starred sections are escaped
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(findParameter(value, "name"), expected) << value;
  EXPECT_EQ(findParameter("a/b; title*0*=us-ascii'en'This%20is%20; title*1=\" fun\"", "title"), "This is  fun");
  EXPECT_EQ(mainValue(" text/plain ; charset=x"), "text/plain");
  EXPECT_EQ(mainValue("attachment"), "attachment");
}

TEST(HeaderBlock, EndsAtTheFirstEmptyLine) {
  // Without an empty line everything is header; a part that begins with
  // an empty line has no fields.
  const std::tuple<std::string_view, std::size_t, std::size_t> cases[] = {
      {"A: 1\r\n\r\nbody", 6, 8},  {"A: 1\n\nbody", 5, 6}, {"A: 1\r\n\nbody", 6, 7},
      {"A: 1\r\nB: 2", 10, 10},    {"\r\nbody", 0, 2},      {"\nbody", 0, 1},
      {"", 0, 0}};
  for (const auto& [text, headerEnd, bodyStart] : cases) {
    const HeaderSplit s = splitHeader(text);
    EXPECT_EQ(s.headerEnd, headerEnd) << text;
    EXPECT_EQ(s.bodyStart, bodyStart) << text;
  }
  const ParsedMessage allHeader = parseMessage("From: a@example.org\r\nSubject: only\r\n");
  EXPECT_EQ(field(allHeader, Field::Subject), "only");
  ASSERT_TRUE(allHeader.parts.text.present());
  EXPECT_EQ(allHeader.parts.text.start, allHeader.parts.text.end);
  const ParsedMessage noHeader = parseMessage("\r\nContent-Type: text/html\r\n\r\nbody");
  EXPECT_EQ(noHeader.parts.text.contentType, "text/plain");
  EXPECT_FALSE(field(noHeader, Field::From));
  EXPECT_EQ(noHeader.priority, 3);
}

TEST(Parser, FieldsDecodeEncodedWordsAndPriority) {
  const ParsedMessage m = parseMessage(crlf(
      "From: =?utf-8?q?J=C3=B6rg?= <j@example.org>\nSubject: =?windows-1252?B?SGVs?=\n =?windows-1252?B?bG8=?=\n"
      "X-Priority: 1 (Highest)\nDate: today\n\nbody"));
  EXPECT_EQ(field(m, Field::From), "J\xc3\xb6rg <j@example.org>");
  EXPECT_EQ(field(m, Field::Subject), "Hello");
  EXPECT_EQ(field(m, Field::Date), "today");
  EXPECT_FALSE(field(m, Field::To));
  EXPECT_EQ(m.priority, 1);
}

// A part's range ends where the line end before the next delimiter begins.
TEST(Parser, PartsEndBeforeTheLineEndOfTheNextDelimiter) {
  const std::string_view lf =
      "Content-Type: multipart/mixed; boundary=b\n\n"
      "preamble\n--b\nContent-Type: text/plain\n\nText text text\n--b\n"
      "Content-Type: application/octet-stream; name=empty.bin\n\n\n--b\n"
      "Content-Type: application/octet-stream; name=tight.bin\n\ntight\n--b--\nepilogue\n";
  for (const std::string& message : {std::string(lf), crlf(lf)}) {
    const testing::Reading r = readMessage(message);
    ASSERT_TRUE(r.text);
    EXPECT_EQ(r.text->body, "Text text text");
    ASSERT_EQ(r.attachments.size(), 2u);
    EXPECT_EQ(r.attachments[0].body, "");
    EXPECT_EQ(r.attachments[1].body, "tight");
  }
  // A single part ends with the message.
  EXPECT_EQ(readMessage("Content-Type: text/plain\r\n\r\nHello\r\n").text->body, "Hello\r\n");
}

TEST(Parser, DelimitersAreWholeLinesInsideTheirParent) {
  const std::string message = crlf(
      "Content-Type: multipart/mixed; boundary=outer\n\n"
      "--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
      "--inner\nContent-Type: text/plain\n\ninner text\n--outerX is not a delimiter\n--inner \t\n"
      "Content-Type: text/html\n\n<p>html</p>\n"  // no closing inner delimiter: ends with its parent
      "--outer\nContent-Type: application/octet-stream; name=a.bin\nContent-Disposition: attachment\n\nAAA\n"
      "--inner--\n"  // the inner boundary outside its part is body text
      "--outer\n--outer\nContent-Type: application/octet-stream; name=b.bin\nContent-Disposition: attachment\n\n"
      "BBB\n--outer--");
  const testing::Reading r = readMessage(message);
  ASSERT_TRUE(r.text && r.html);
  EXPECT_EQ(r.text->body, "inner text\r\n--outerX is not a delimiter");
  EXPECT_EQ(r.html->body, "<p>html</p>");
  ASSERT_EQ(r.attachments.size(), 2u);  // no empty part between two delimiters
  EXPECT_EQ(r.attachments[0].body, "AAA\r\n--inner--");
  EXPECT_EQ(r.attachments[1].body, "BBB");  // a closing delimiter that ends the data
}

TEST(Parser, DeepNestingEndsInALeaf) {
  std::string message;
  for (int depth = 0; depth < 40; ++depth)
    message += "Content-Type: multipart/mixed; boundary=b" + std::to_string(depth) + "\r\n\r\n--b" +
               std::to_string(depth) + "\r\n";
  message += "Content-Type: text/plain\r\n\r\ndeep";
  const ParsedMessage m = parseMessage(message);
  ASSERT_EQ(m.parts.attachments.size(), 1u);
  EXPECT_EQ(m.parts.attachments[0].contentType, "multipart/mixed");
  EXPECT_FALSE(m.parts.text.present());
  EXPECT_TRUE(testing::rangesInside(m.parts, message.size()));
}

TEST(Parser, SortsLeavesIntoBodiesItemsAndAttachments) {
  const std::string message = crlf(
      "Content-Type: multipart/mixed; boundary=b\n\n"
      "--b\nContent-Type: text/plain\nContent-Disposition: attachment\n\nplain attachment\n"
      "--b\nContent-Type: TEXT/PLAIN\n\nthe text\n"
      "--b\nContent-Type: text/html\n\n<p>html</p>\n"
      "--b\nContent-Type: text/plain; name=\"note.txt\"\nContent-ID: <note@example>\n\nan item\n"
      "--b\nContent-Type: image/png\nContent-Disposition: inline; filename=\"dir\\\\sub/pic.png\"\n"
      "Content-Transfer-Encoding: BASE64\nContent-ID: <pic>\n\nAAEC\n"
      "--b\nContent-Type: text/plain\n\nsecond text\n"
      "--b\nContent-Type: application/pdf\nContent-Disposition: attachment; filename=\"=?utf-8?q?r=C3=A9sum=C3=A9.pdf?=\"\n"
      "\n%PDF\n"
      "--b\nContent-Type: application/octet-stream\n\nno name\n"
      "--b\nContent-Type: image/gif; name=\"../../etc/passwd\"\nContent-Disposition: attachment\n\nGIF\n"
      "--b\nContent-Type: text/html\n\n<p>second html</p>\n--b--\n");
  const testing::Reading r = readMessage(message);
  ASSERT_TRUE(r.text && r.html);
  EXPECT_EQ(r.text->body, "the text");
  EXPECT_EQ(r.text->type, "TEXT/PLAIN");
  EXPECT_EQ(r.html->body, "<p>html</p>");
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(r.items[0].name, "note.txt");  // text with a name after the HTML
  EXPECT_EQ(r.items[0].id, "note@example");
  EXPECT_EQ(r.items[1].name, "pic.png");  // a directory part goes
  EXPECT_EQ(r.items[1].id, "pic");
  EXPECT_EQ(r.items[1].body, std::string("\0\1\2", 3));
  const std::pair<std::string, std::string> attachments[] = {
      {"attachment 1", "plain attachment"}, {"attachment 2", "second text"}, {"r\xc3\xa9sum\xc3\xa9.pdf", "%PDF"},
      {"attachment 4", "no name"},          {"passwd", "GIF"},               {"attachment 6", "<p>second html</p>"}};
  ASSERT_EQ(r.attachments.size(), std::size(attachments));
  for (std::size_t i = 0; i < r.attachments.size(); ++i) {
    EXPECT_EQ(r.attachments[i].name, attachments[i].first) << i;
    EXPECT_EQ(r.attachments[i].body, attachments[i].second) << i;
  }
  EXPECT_EQ(r.attachments[3].type, "application/octet-stream");
}

TEST(Parser, DefaultTypesFollowTheContainer) {
  // No Content-Type: text/plain, but message/rfc822 inside a digest; a
  // malformed one is text/plain.
  const testing::Reading r = readMessage(crlf(
      "Content-Type: multipart/digest; boundary=d\n\n--d\n\nFrom: x\n\ninner\n--d\n"
      "Content-Type: nonsense\n\nplain\n--d--\n"));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].type, "message/rfc822");
  ASSERT_TRUE(r.text);
  EXPECT_EQ(r.text->body, "plain");
  EXPECT_EQ(baseName("a\\b/c"), "c");
  EXPECT_EQ(baseName("plain"), "plain");
  EXPECT_EQ(baseName("dir/"), "");
}

TEST(Parser, MultipartWithoutDelimitersIsALeaf) {
  for (const std::string_view message :
       {"Content-Type: multipart/mixed; boundary=nowhere\r\n\r\nno parts here",
        "Content-Type: multipart/mixed\r\n\r\nno boundary"}) {
    const ParsedMessage m = parseMessage(message);
    ASSERT_EQ(m.parts.attachments.size(), 1u) << message;
    EXPECT_EQ(m.parts.attachments[0].contentType, "multipart/mixed");
    EXPECT_EQ(m.parts.attachments[0].name, "attachment 1");
  }
}

} // namespace
} // namespace plumex::hostlib::mail
