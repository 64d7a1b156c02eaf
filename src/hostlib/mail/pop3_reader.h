#pragma once
// Reading POP3 answers: status lines, the listings of LIST and UIDL, and
// messages up to their "." line with the dot-stuffing undone. Each within
// its limit: a server that goes on past one fails the read.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/mail/byte_channel.h"

namespace plumex::hostlib::mail {

inline constexpr std::size_t kPop3LineLimit = 8 * 1024;
inline constexpr std::size_t kPop3ListingLimit = 16 * 1024 * 1024;
inline constexpr std::size_t kPop3MessageLimit = 256 * 1024 * 1024;

inline bool isPositivePop3(std::string_view reply) { return reply.starts_with("+OK"); }

// One status line with its CR LF. Nothing (and `failure` set) when the
// connection fails or closes first or the line passes kPop3LineLimit.
std::optional<std::string> readPop3Line(ByteChannel& channel, std::string& failure);

// A whole multi-line answer: a negative status line, or a positive one
// with its lines up to the "." line.
std::optional<std::string> readPop3Listing(ByteChannel& channel, std::string& failure);

// The entries of a positive listing: "number value" lines, skipping the
// status line, the "." line and lines that do not start with a number.
struct ListingEntry {
  std::uint32_t number;
  std::string value;
};
std::vector<ListingEntry> listingEntries(std::string_view listing);

// Undoes the transfer form of a message as its bytes arrive: the "." line
// ends it (the CR LF before belongs to the message) and a ".." at the start
// of a line stands for ".".
class DotUnstuffer {
public:
  // Appends the message bytes to `out`; true once the "." line has come
  // (what follows it is not message).
  bool feed(std::string_view bytes, std::string& out);

private:
  enum class State { LineStart, Text, CR, Dot, DotCR };
  State state_ = State::LineStart;
};

// After RETR or TOP: the status line, then the message. `status` receives
// the status line. Nothing when the status is negative (`status` tells),
// when the connection fails or closes before the end (`failure` tells),
// when the message passes kPop3MessageLimit, or when `stored` (told the
// bytes kept after each receive) answers false (`failure` left empty).
std::optional<std::string> readPop3Message(ByteChannel& channel, std::string& status, std::string& failure,
                                           const std::function<bool(std::size_t stored)>& stored);

} // namespace plumex::hostlib::mail
