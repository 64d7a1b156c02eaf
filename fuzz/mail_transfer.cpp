// The mail dialogues against any server: whatever bytes arrive, split
// however, a dialogue ends, replies stay within their limits, and a POP3
// message read back is the message that, stuffed again, reads the same.
#include <cstdint>
#include <string>
#include <vector>

#include "../tests/hostlib/mail/scripted_channel.h"
#include "fuzz_check.h"
#include "hostlib/mail/pop3_reader.h"
#include "hostlib/mail/pop3_session.h"
#include "hostlib/mail/smtp_dialogue.h"
#include "hostlib/mail/smtp_reply.h"

using namespace plumex::hostlib::mail;
using plumex::test::ScriptedChannel;

namespace {

// The bytes in receives of sizes the seed picks.
std::vector<std::string> chunks(std::string_view bytes, std::uint8_t seed) {
  std::vector<std::string> out;
  std::uint32_t state = seed * 2654435761u + 1;
  while (!bytes.empty()) {
    state = state * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>(bytes.size(), 1 + (state >> 16) % 97);
    out.emplace_back(bytes.substr(0, n));
    bytes.remove_prefix(n);
  }
  return out;
}

std::string stuffed(const std::string& message) {
  std::string out;
  bool lineStart = true;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (lineStart && message[i] == '.') out += '.';
    out += message[i];
    lineStart = message[i] == '\n' && i > 0 && message[i - 1] == '\r';
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  const Progress agree = [](int, std::string_view) { return true; };
  std::string failure, status;
  switch (data[0] % 4) {
    case 0: {
      ScriptedChannel channel(chunks(bytes, data[1]));
      const OutgoingMail mail{"a@b", "c@d, e@f", "", "g@h", "Bcc: x\r\n\r\n.\r\nbody"};
      sendOverSmtp(channel, mail, {"user", "pass"}, "fuzz.test", agree);
      break;
    }
    case 1: {
      ScriptedChannel channel(chunks(bytes, data[1]));
      if (const auto reply = readSmtpReply(channel, failure)) {
        FUZZ_CHECK(reply->size() <= kSmtpReplyLimit + 4096);
        FUZZ_CHECK(isWholeSmtpReply(*reply));
      }
      break;
    }
    case 2: {
      ScriptedChannel channel(chunks(bytes, data[1]));
      const auto message = readPop3Message(channel, status, failure, [](std::size_t) { return true; });
      if (message) {
        // The "." line ends a message only after a whole line.
        FUZZ_CHECK(message->empty() || message->ends_with("\r\n"));
        ScriptedChannel again({"+OK\r\n" + stuffed(*message) + ".\r\n"});
        std::string s2, f2;
        const auto back = readPop3Message(again, s2, f2, [](std::size_t) { return true; });
        FUZZ_CHECK(back && *back == *message);
      }
      break;
    }
    case 3: {
      ScriptedChannel channel(chunks(bytes, data[1]));
      if (const auto listing = readPop3Listing(channel, failure)) {
        FUZZ_CHECK(listing->size() <= kPop3ListingLimit + 65536);
        for (const ListingEntry& e : listingEntries(*listing)) FUZZ_CHECK(e.number > 0 && !e.value.empty());
      }
      Pop3Session session;
      session.open(std::make_unique<ScriptedChannel>(chunks(bytes, data[1])), {"u", "p"}, agree);
      session.listing("LIST\r\n", agree);
      session.message("RETR 1\r\n", agree);
      break;
    }
  }
  return 0;
}
