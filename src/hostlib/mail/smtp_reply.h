#pragma once
// Reading an SMTP reply: its lines until the final one ("250 ok", or a
// bare "250"), within a size limit, whatever the receives split.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "hostlib/mail/byte_channel.h"

namespace plumex::hostlib::mail {

inline constexpr std::size_t kSmtpReplyLimit = 64 * 1024;

// Whether the bytes end with CR LF and their last line is a final one: a
// space as its fourth character, or the three digits alone.
bool isWholeSmtpReply(std::string_view received);
// The number the leading digits form (0 when there are none).
int smtpReplyCode(std::string_view reply);

// One reply; nothing when the connection fails or closes before its end
// or it grows past the limit; `failure` then says which.
std::optional<std::string> readSmtpReply(ByteChannel& channel, std::string& failure,
                                         std::size_t limit = kSmtpReplyLimit);

} // namespace plumex::hostlib::mail
