#include "hostlib/mail/smtp_dialogue.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <span>

#include "hostlib/codecs/base64.h"
#include "hostlib/crypto/hmac_md5.h"
#include "hostlib/crypto/md5_stream.h"
#include "hostlib/mail/smtp_reply.h"

namespace plumex::hostlib::mail {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), lower);
  return out;
}

std::string_view trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// One dialogue: each step sends, reports, reads and checks.
class Dialogue {
public:
  Dialogue(ByteChannel& channel, const Progress& progress) : channel_(channel), progress_(progress) {}

  // A reply, reported whole; nothing (reported as a failure) when it
  // cannot be read.
  std::optional<std::string> reply() {
    std::string failure;
    std::optional<std::string> r = readSmtpReply(channel_, failure);
    if (!r) {
      progress_(kFailure, failure);
      return std::nullopt;
    }
    progress_(kReply, *r);
    return r;
  }

  bool send(std::string_view bytes) {
    if (channel_.sendAll(bytes)) return true;
    progress_(kFailure, channel_.failureText());
    return false;
  }

  // Sends the line, reads the reply and checks its hundred (2 for 2xx).
  std::optional<std::string> step(std::string_view line, int hundred) {
    if (!send(line)) return std::nullopt;
    progress_(kCommandSent, line);
    std::optional<std::string> r = reply();
    if (!r || smtpReplyCode(*r) / 100 != hundred) return std::nullopt;
    return r;
  }

  bool authenticate(unsigned mechanisms, const std::string& user, const std::string& password) {
    if (mechanisms & kAuthCramMd5) {
      const std::optional<std::string> r = step("AUTH CRAM-MD5\r\n", 3);
      if (!r || r->size() < 4) return false;
      const std::string challenge = codecs::decodeBase64ToString(std::string_view(*r).substr(4));
      return step(codecs::encodeBase64(cramMd5Answer(user, password, challenge)) + "\r\n", 2).has_value();
    }
    if (mechanisms & kAuthLogin) {
      return step("AUTH LOGIN\r\n", 3) && step(codecs::encodeBase64(user) + "\r\n", 3) &&
             step(codecs::encodeBase64(password) + "\r\n", 2);
    }
    std::string plain;
    plain += '\0';
    plain += user;
    plain += '\0';
    plain += password;
    return step("AUTH PLAIN " + codecs::encodeBase64(plain) + "\r\n", 2).has_value();
  }

  bool data(std::string_view text) {
    for (const std::string& line : dataLines(text)) {
      if (!send(line)) return false;
      if (!progress_(kBytesStored, std::to_string(line.size()))) return false;
    }
    return true;
  }

private:
  ByteChannel& channel_;
  const Progress& progress_;
};

} // namespace

unsigned announcedMechanisms(std::string_view ehloReply) {
  const std::string reply = lowered(ehloReply);
  for (const std::string_view marker : {"250 auth ", "250-auth ", "250 auth=", "250-auth="}) {
    const std::size_t at = reply.find(marker);
    if (at == std::string::npos) continue;
    if (at != 0 && reply[at - 1] != '\n') return 0;
    const std::size_t from = at + marker.size();
    const std::size_t end = reply.find_first_of("\r\n", from);
    std::string_view rest = std::string_view(reply).substr(from, end == std::string::npos ? std::string::npos : end - from);
    unsigned found = 0;
    while (!rest.empty()) {
      const std::size_t space = rest.find(' ');
      const std::string_view word = rest.substr(0, space);
      if (word == "login") found |= kAuthLogin;
      else if (word == "plain") found |= kAuthPlain;
      else if (word == "cram-md5") found |= kAuthCramMd5;
      rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    }
    return found;
  }
  return 0;
}

std::string addressOf(std::string_view piece) {
  if (const std::size_t open = piece.find('<'); open != std::string_view::npos) piece.remove_prefix(open + 1);
  piece = piece.substr(0, piece.find('>'));
  return std::string(trimmed(piece));
}

std::vector<std::string> recipientAddresses(const OutgoingMail& mail) {
  std::vector<std::string> addresses;
  for (std::string_view list : {std::string_view(mail.to), std::string_view(mail.cc), std::string_view(mail.bcc)}) {
    while (!list.empty()) {
      const std::size_t cut = list.find_first_of(",;");
      const std::string_view piece = list.substr(0, cut);
      list.remove_prefix(cut == std::string_view::npos ? list.size() : cut + 1);
      std::string address = addressOf(piece);
      if (!address.empty()) addresses.push_back(std::move(address));
    }
  }
  return addresses;
}

std::vector<std::string> dataLines(std::string_view text) {
  std::vector<std::string> lines;
  bool inHeader = true;
  bool droppingBcc = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    std::string line(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    if (end == std::string_view::npos) at = text.size();
    else at = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    if (inHeader) {
      if (line.empty()) {
        inHeader = false;
        droppingBcc = false;
      } else if (droppingBcc && (line[0] == ' ' || line[0] == '\t')) {
        continue;
      } else {
        droppingBcc = line.size() >= 4 && lowered(line.substr(0, 4)) == "bcc:";
        if (droppingBcc) continue;
      }
    }
    if (!line.empty() && line[0] == '.') line.insert(0, 1, '.');
    line += "\r\n";
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string cramMd5Answer(std::string_view username, std::string_view password, std::string_view challenge) {
  return std::string(username) + " " + crypto::toHex(crypto::hmacMd5(bytesOf(password), bytesOf(challenge)));
}

bool breaksCommandLine(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

bool sendOverSmtp(ByteChannel& channel, const OutgoingMail& mail, const SmtpLogin& login,
                  std::string_view helloName, const Progress& progress) {
  Dialogue d(channel, progress);
  if (!d.reply()) return false;
  const std::string hello(helloName);
  if (const std::optional<std::string> ehlo = d.step("EHLO " + hello + "\r\n", 2)) {
    const unsigned mechanisms = announcedMechanisms(*ehlo);
    if (mechanisms && login.username && login.password && !d.authenticate(mechanisms, *login.username, *login.password))
      return false;
  } else if (!d.step("HELO " + hello + "\r\n", 2)) {
    return false;
  }
  if (!d.step("MAIL FROM:<" + addressOf(mail.from) + ">\r\n", 2)) return false;
  // A refused recipient is reported; the server decides at DATA whether
  // any was enough.
  for (const std::string& address : recipientAddresses(mail)) {
    if (!d.send("RCPT TO:<" + address + ">\r\n")) return false;
    progress(kCommandSent, "RCPT TO:<" + address + ">\r\n");
    if (!d.reply()) return false;
  }
  if (!d.step("DATA\r\n", 3) || !d.data(mail.text) || !d.step(".\r\n", 2)) return false;
  if (d.send("QUIT\r\n")) {
    progress(kCommandSent, "QUIT\r\n");
    d.reply();
  }
  return true;
}

} // namespace plumex::hostlib::mail
