#pragma once
// Sending one message through an SMTP server: greeting, EHLO (HELO when
// refused), authentication when the server offers a mechanism and a login
// is given, the envelope, the data with the Bcc field left out, and QUIT.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/mail/byte_channel.h"
#include "hostlib/mail/transfer_progress.h"

namespace plumex::hostlib::mail {

struct OutgoingMail {
  std::string from;
  std::string to;
  std::string cc;
  std::string bcc;
  // The whole message as composed.
  std::string text;
};

struct SmtpLogin {
  std::optional<std::string> username;
  std::optional<std::string> password;
};

enum AuthMechanism : unsigned { kAuthLogin = 1, kAuthPlain = 2, kAuthCramMd5 = 4 };

// The mechanisms the EHLO reply announces on its AUTH line.
unsigned announcedMechanisms(std::string_view ehloReply);
// The address of one recipient text: within its angle brackets when it has
// them, without surrounding white space.
std::string addressOf(std::string_view piece);
// The addresses of the to, cc and bcc texts in that order (split at commas
// and semicolons, empty pieces skipped).
std::vector<std::string> recipientAddresses(const OutgoingMail& mail);
// The message as its DATA lines: line ends made CR LF, the top block's Bcc
// field (with its continuation lines) left out, leading dots doubled.
std::vector<std::string> dataLines(std::string_view text);
// The CRAM-MD5 answer (before base64) to a decoded challenge.
std::string cramMd5Answer(std::string_view username, std::string_view password, std::string_view challenge);

// Whether a text would break a command line: it holds CR, LF or NUL.
bool breaksCommandLine(std::string_view text);

// The dialogue on a connected channel, from the greeting to QUIT. False
// when a step fails; what happened went to `progress`.
bool sendOverSmtp(ByteChannel& channel, const OutgoingMail& mail, const SmtpLogin& login,
                  std::string_view helloName, const Progress& progress);

} // namespace plumex::hostlib::mail
