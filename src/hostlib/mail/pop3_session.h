#pragma once
// One POP3 connection and its commands, free of engine values. Every
// failure to read or send closes the connection (what the server sends
// next could no longer be told apart); a negative reply leaves it open.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hostlib/mail/byte_channel.h"
#include "hostlib/mail/smtp_dialogue.h"
#include "hostlib/mail/transfer_progress.h"

namespace plumex::hostlib::mail {

class Pop3Session {
public:
  bool isOpen() const { return channel_ != nullptr; }
  void close() { channel_.reset(); }

  // Takes a connected channel, reads the greeting and, when both are
  // given, logs in. False, and closed, when any of it fails.
  bool open(std::unique_ptr<ByteChannel> channel, const SmtpLogin& login, const Progress& progress);

  // A command answered by one line: that line when positive.
  std::optional<std::string> command(std::string_view line, const Progress& progress);
  // A command answered by a listing: the whole listing when positive.
  std::optional<std::string> listing(std::string_view line, const Progress& progress);
  // RETR or TOP: the message, unstuffed; a block report (kBytesStored)
  // answered false closes the connection.
  std::optional<std::string> message(std::string_view line, const Progress& progress);

private:
  using Reader = std::optional<std::string> (*)(ByteChannel&, std::string& failure);
  // Sends the line and reads the answer: positive, or reported.
  std::optional<std::string> exchange(std::string_view line, Reader read, const Progress& progress);
  bool send(std::string_view line, const Progress& progress);
  // Reports a failure and closes.
  void fail(const std::string& failure, const Progress& progress);

  std::unique_ptr<ByteChannel> channel_;
};

} // namespace plumex::hostlib::mail
