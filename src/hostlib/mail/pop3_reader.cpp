#include "hostlib/mail/pop3_reader.h"

#include <algorithm>

namespace plumex::hostlib::mail {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Receives once more into the end of `into`, at most `room` bytes.
bool receiveMore(ByteChannel& channel, std::string& into, std::size_t room, std::string& failure) {
  const std::size_t at = into.size();
  into.resize(at + std::min(room, kChunk));
  const std::ptrdiff_t n = channel.receive(into.data() + at, into.size() - at);
  into.resize(at + static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
  if (n > 0) return true;
  failure = n == 0 ? "the server closed the connection" : channel.failureText();
  return false;
}

bool isWholeListing(std::string_view received) {
  if (received.size() <= 4 || !received.ends_with("\r\n")) return false;
  return !isPositivePop3(received) || received.ends_with("\r\n.\r\n");
}

} // namespace

std::optional<std::string> readPop3Line(ByteChannel& channel, std::string& failure) {
  std::string line;
  while (!line.ends_with("\r\n")) {
    if (line.size() >= kPop3LineLimit) {
      failure = "the server's line is too long";
      return std::nullopt;
    }
    if (!receiveMore(channel, line, kPop3LineLimit - line.size(), failure)) return std::nullopt;
  }
  return line;
}

std::optional<std::string> readPop3Listing(ByteChannel& channel, std::string& failure) {
  std::string listing;
  while (!isWholeListing(listing)) {
    if (listing.size() >= kPop3ListingLimit) {
      failure = "the server's listing is too long";
      return std::nullopt;
    }
    if (!receiveMore(channel, listing, kPop3ListingLimit - listing.size(), failure)) return std::nullopt;
  }
  return listing;
}

std::vector<ListingEntry> listingEntries(std::string_view listing) {
  std::vector<ListingEntry> entries;
  while (!listing.empty()) {
    const std::size_t end = listing.find("\r\n");
    std::string_view line = listing.substr(0, end);
    listing.remove_prefix(end == std::string_view::npos ? listing.size() : end + 2);
    if (line == "." || line.find("+OK") != std::string_view::npos) continue;
    std::uint64_t number = 0;
    std::size_t i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && number <= 0xFFFFFFFFu)
      number = number * 10 + static_cast<std::uint64_t>(line[i++] - '0');
    if (i == 0 || number == 0 || number > 0xFFFFFFFFu || i == line.size() || line[i] != ' ') continue;
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t valueEnd = line.find(' ', i);
    const std::string_view value = line.substr(i, valueEnd == std::string_view::npos ? line.size() - i : valueEnd - i);
    if (value.empty()) continue;
    entries.push_back({static_cast<std::uint32_t>(number), std::string(value)});
  }
  return entries;
}

bool DotUnstuffer::feed(std::string_view bytes, std::string& out) {
  for (char c : bytes) {
    switch (state_) {
      case State::LineStart:
        if (c == '.') {
          state_ = State::Dot;
          continue;
        }
        out += c;
        state_ = c == '\r' ? State::CR : State::Text;
        break;
      case State::Text:
        out += c;
        if (c == '\r') state_ = State::CR;
        break;
      case State::CR:
        out += c;
        state_ = c == '\n' ? State::LineStart : c == '\r' ? State::CR : State::Text;
        break;
      case State::Dot:
        if (c == '\r') {
          state_ = State::DotCR;
        } else {
          // ".." stands for "."; any other line keeps its dot.
          if (c != '.') out += '.';
          out += c;
          state_ = State::Text;
        }
        break;
      case State::DotCR:
        if (c == '\n') return true;
        out += ".\r";
        out += c;
        state_ = c == '\r' ? State::CR : State::Text;
        break;
    }
  }
  return false;
}

std::optional<std::string> readPop3Message(ByteChannel& channel, std::string& status, std::string& failure,
                                           const std::function<bool(std::size_t stored)>& stored) {
  std::string received;
  std::size_t lineEnd;
  while ((lineEnd = received.find("\r\n")) == std::string::npos) {
    if (received.size() >= kPop3LineLimit) {
      failure = "the server's line is too long";
      return std::nullopt;
    }
    if (!receiveMore(channel, received, kPop3LineLimit - received.size(), failure)) return std::nullopt;
  }
  status = received.substr(0, lineEnd + 2);
  if (!isPositivePop3(status)) return std::nullopt;

  std::string message;
  DotUnstuffer unstuffer;
  std::string block = received.substr(lineEnd + 2);
  for (;;) {
    const bool ended = unstuffer.feed(block, message);
    if (message.size() > kPop3MessageLimit) {
      failure = "the message is too long";
      return std::nullopt;
    }
    if (!block.empty() && !stored(message.size())) return std::nullopt;
    if (ended) return message;
    block.clear();
    if (!receiveMore(channel, block, kChunk, failure)) return std::nullopt;
  }
}

} // namespace plumex::hostlib::mail
