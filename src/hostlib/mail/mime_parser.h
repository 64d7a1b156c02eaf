#pragma once
// Reads a message: its header fields, and where its text and HTML bodies,
// attachments and HTML items lie. Nothing is copied or decoded. CR LF and
// a bare LF both end lines.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostlib/mail/part_table.h"

namespace plumex::hostlib::mail {

// Multiparts nested deeper than this are read as leaves.
inline constexpr int kMaxNesting = 32;

struct ParsedMessage {
  // From, Reply-To, To, Subject, Cc, Bcc, Date with encoded words decoded;
  // nothing for a field the message lacks.
  std::array<std::optional<std::string>, kFieldCount> fields;
  std::int32_t priority = 3;  // X-Priority, 3 without one
  PartTable parts;             // offsets into the message text
};

ParsedMessage parseMessage(std::string_view message);

// A name read from a message without its directory part (after the last
// "\" or "/").
std::string baseName(std::string_view name);

} // namespace plumex::hostlib::mail
