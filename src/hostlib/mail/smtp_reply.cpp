#include "hostlib/mail/smtp_reply.h"

#include <algorithm>

namespace plumex::hostlib::mail {

bool isWholeSmtpReply(std::string_view received) {
  if (!received.ends_with("\r\n")) return false;
  const std::string_view body = received.substr(0, received.size() - 2);
  const std::size_t previous = body.rfind("\r\n");
  const std::string_view last = previous == std::string_view::npos ? body : body.substr(previous + 2);
  if (last.size() >= 4) return last[3] == ' ';
  return last.size() == 3 && std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int smtpReplyCode(std::string_view reply) {
  int code = 0;
  for (char c : reply) {
    if (c < '0' || c > '9') break;
    // Only the first digits can matter for the hundred; the rest keeps the
    // number from overflowing.
    if (code < 100000) code = code * 10 + (c - '0');
  }
  return code;
}

std::optional<std::string> readSmtpReply(ByteChannel& channel, std::string& failure, std::size_t limit) {
  std::string reply;
  char chunk[4096];
  while (!isWholeSmtpReply(reply)) {
    if (reply.size() >= limit) {
      failure = "the server's reply is too long";
      return std::nullopt;
    }
    const std::ptrdiff_t n = channel.receive(chunk, std::min(sizeof chunk, limit - reply.size()));
    if (n <= 0) {
      failure = n == 0 ? "the server closed the connection" : channel.failureText();
      return std::nullopt;
    }
    reply.append(chunk, static_cast<std::size_t>(n));
  }
  return reply;
}

} // namespace plumex::hostlib::mail
