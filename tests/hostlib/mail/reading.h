#pragma once
// A message as our reader sorts it, decoded, for comparing with other
// readers and with what went into a message.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/mail/mime_parser.h"

namespace plumex::hostlib::mail::testing {

struct Leaf {
  std::string type;
  std::string name;
  std::string id;
  std::string body;
};

struct Reading {
  std::array<std::optional<std::string>, kFieldCount> fields;
  std::int32_t priority = 3;
  std::optional<Leaf> text, html;
  std::vector<Leaf> attachments, items;
};

inline Leaf leafOf(std::string_view message, const Part& p) {
  return {p.contentType, p.name, p.contentId,
          decodeBody(message.substr(static_cast<std::size_t>(p.start), static_cast<std::size_t>(p.end - p.start)),
                     p.encoding)};
}

inline Reading readMessage(std::string_view message) {
  const ParsedMessage parsed = parseMessage(message);
  Reading r;
  r.fields = parsed.fields;
  r.priority = parsed.priority;
  if (parsed.parts.text.present()) r.text = leafOf(message, parsed.parts.text);
  if (parsed.parts.html.present()) r.html = leafOf(message, parsed.parts.html);
  for (const Part& p : parsed.parts.attachments) r.attachments.push_back(leafOf(message, p));
  for (const Part& p : parsed.parts.htmlItems) r.items.push_back(leafOf(message, p));
  return r;
}

// Every range of the table inside [0, size), none reversed.
inline bool rangesInside(const PartTable& t, std::size_t size) {
  auto inside = [&](const Part& p) { return !p.present() || (p.start <= p.end && static_cast<std::size_t>(p.end) <= size); };
  bool ok = inside(t.text) && inside(t.html);
  for (const Part& p : t.attachments) ok = ok && inside(p) && p.present();
  for (const Part& p : t.htmlItems) ok = ok && inside(p) && p.present();
  return ok;
}

} // namespace plumex::hostlib::mail::testing
