#pragma once
// Writes a message: the header block, then the body in the layout its
// parts call for (a single text part; multipart/mixed for attachments;
// multipart/related around multipart/alternative for HTML and its
// items). Bodies are written as they are kept: new ones already encoded,
// existing ones copied byte for byte from where they lie.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/mail/byte_io.h"
#include "hostlib/mail/part_table.h"

namespace plumex::hostlib::mail {

// A part as a message keeps it: its descriptor, and its encoded body while
// that is new and not yet written anywhere.
struct MessagePart {
  Part part;
  std::optional<std::string> fresh;
  bool present() const { return fresh || part.present(); }
};

struct MessageParts {
  MessagePart text;
  MessagePart html;
  std::vector<MessagePart> attachments;
  std::vector<MessagePart> htmlItems;
};

struct HeaderValues {
  std::array<std::optional<std::string>, kFieldCount> fields;
  std::int32_t priority = 0;
};

struct ComposeStyle {
  std::string_view charset;  // the label of the text's code page
  unsigned codePage = 1252;
  std::function<std::string()> newBoundary;
};

// From, To, Reply-To, Cc, Bcc, Subject (base64 encoded words), Date,
// MIME-Version, X-Mailer and X-Priority, each line ending in CR LF.
std::string headerBlock(const HeaderValues& headers, const ComposeStyle& style);

// Writes the whole message to the sink, copying bodies that are not fresh
// from the source. Gives the part table of what it wrote (every body's
// range in the sink's bytes), or nothing when a write or a copy failed.
std::optional<PartTable> composeMessage(const HeaderValues& headers, const MessageParts& parts,
                                        ByteSource& source, ByteSink& sink, const ComposeStyle& style);

} // namespace plumex::hostlib::mail
