// The mail reader on any bytes: every range lies inside the message and
// no two leaves overlap; writing the parts into a message of our own and
// reading that back gives the same decoded bodies, names and ids.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "hostlib/mail/mime_composer.h"
#include "hostlib/mail/mime_parser.h"

using namespace plumex::hostlib::mail;

namespace {

std::string bodyOf(std::string_view message, const Part& p) {
  if (!p.present()) return {};
  return decodeBody(message.substr(static_cast<std::size_t>(p.start), static_cast<std::size_t>(p.end - p.start)),
                    p.encoding);
}

void checkRanges(const PartTable& t, std::size_t size) {
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
  auto add = [&](const Part& p) {
    if (!p.present()) return;
    FUZZ_CHECK(p.start <= p.end && static_cast<std::size_t>(p.end) <= size);
    ranges.emplace_back(p.start, p.end);
  };
  add(t.text);
  add(t.html);
  for (const Part& p : t.attachments) {
    FUZZ_CHECK(p.present() && !p.name.empty());
    add(p);
  }
  for (const Part& p : t.htmlItems) {
    FUZZ_CHECK(p.present() && !p.name.empty());
    add(p);
  }
  std::sort(ranges.begin(), ranges.end());
  for (std::size_t i = 1; i < ranges.size(); ++i) FUZZ_CHECK(ranges[i - 1].second <= ranges[i].first);
}

MessagePart stored(const Part& p) { return MessagePart{p, std::nullopt}; }

// Header texts are written on one line (their line ends become spaces) and
// read back with their tabs as spaces.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ParsedMessage first = parseMessage(input);
  checkRanges(first.parts, size);

  HeaderValues headers;
  headers.fields[static_cast<std::size_t>(Field::Subject)] = first.fields[static_cast<std::size_t>(Field::Subject)];
  headers.priority = first.priority;
  MessageParts parts;
  parts.text = stored(first.parts.text);
  parts.html = stored(first.parts.html);
  for (const Part& p : first.parts.attachments) parts.attachments.push_back(stored(p));
  for (const Part& p : first.parts.htmlItems) parts.htmlItems.push_back(stored(p));
  // Boundaries that the copied bodies do not hold.
  int boundaries = 0;
  const ComposeStyle style{"windows-1252", 1252, [&] {
                             std::string b;
                             do b = "=_fuzz_" + std::to_string(++boundaries) + "_=";
                             while (input.find(b) != std::string_view::npos);
                             return b;
                           }};
  StringSource source(input);
  StringSink sink;
  const std::optional<PartTable> written = composeMessage(headers, parts, source, sink, style);
  FUZZ_CHECK(written.has_value());
  checkRanges(*written, sink.text.size());

  const ParsedMessage second = parseMessage(sink.text);
  FUZZ_CHECK(second.priority == first.priority);
  FUZZ_CHECK(second.fields[static_cast<std::size_t>(Field::Subject)].value_or("") ==
             first.fields[static_cast<std::size_t>(Field::Subject)].value_or(""));
  FUZZ_CHECK(bodyOf(sink.text, second.parts.text) == bodyOf(input, first.parts.text));
  FUZZ_CHECK(bodyOf(sink.text, second.parts.html) == bodyOf(input, first.parts.html));
  FUZZ_CHECK(second.parts.attachments.size() == first.parts.attachments.size());
  for (std::size_t i = 0; i < first.parts.attachments.size(); ++i) {
    FUZZ_CHECK(bodyOf(sink.text, second.parts.attachments[i]) == bodyOf(input, first.parts.attachments[i]));
    FUZZ_CHECK(second.parts.attachments[i].name == oneLine(first.parts.attachments[i].name));
  }
  FUZZ_CHECK(second.parts.htmlItems.size() == first.parts.htmlItems.size());
  for (std::size_t i = 0; i < first.parts.htmlItems.size(); ++i) {
    FUZZ_CHECK(bodyOf(sink.text, second.parts.htmlItems[i]) == bodyOf(input, first.parts.htmlItems[i]));
    FUZZ_CHECK(second.parts.htmlItems[i].name == oneLine(first.parts.htmlItems[i].name));
    FUZZ_CHECK(second.parts.htmlItems[i].contentId == oneLine(first.parts.htmlItems[i].contentId));
  }
  return 0;
}
