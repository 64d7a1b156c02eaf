#include "hostlib/mail/pop3_session.h"

#include "hostlib/mail/pop3_reader.h"

namespace plumex::hostlib::mail {

bool Pop3Session::open(std::unique_ptr<ByteChannel> channel, const SmtpLogin& login, const Progress& progress) {
  channel_ = std::move(channel);
  std::string failure;
  if (!readPop3Line(*channel_, failure)) {
    fail(failure, progress);
    return false;
  }
  if (!login.username || !login.password) return true;
  if (command("USER " + *login.username + "\r\n", progress) && command("PASS " + *login.password + "\r\n", progress))
    return true;
  close();
  return false;
}

std::optional<std::string> Pop3Session::command(std::string_view line, const Progress& progress) {
  return exchange(line, readPop3Line, progress);
}

std::optional<std::string> Pop3Session::listing(std::string_view line, const Progress& progress) {
  return exchange(line, readPop3Listing, progress);
}

std::optional<std::string> Pop3Session::exchange(std::string_view line, Reader read, const Progress& progress) {
  if (!send(line, progress)) return std::nullopt;
  std::string failure;
  std::optional<std::string> reply = read(*channel_, failure);
  if (!reply) {
    fail(failure, progress);
    return std::nullopt;
  }
  if (isPositivePop3(*reply)) return reply;
  progress(kReply, *reply);
  return std::nullopt;
}

std::optional<std::string> Pop3Session::message(std::string_view line, const Progress& progress) {
  if (!send(line, progress)) return std::nullopt;
  std::string status;
  std::string failure;
  std::optional<std::string> message = readPop3Message(*channel_, status, failure, [&](std::size_t stored) {
    return progress(kBytesStored, std::to_string(stored));
  });
  if (message) return message;
  if (!failure.empty()) fail(failure, progress);
  else if (!status.empty() && !isPositivePop3(status)) progress(kReply, status);
  else close();  // the handler stopped the download midway
  return std::nullopt;
}

bool Pop3Session::send(std::string_view line, const Progress& progress) {
  if (!channel_) return false;
  if (channel_->sendAll(line)) return true;
  fail(channel_->failureText(), progress);
  return false;
}

void Pop3Session::fail(const std::string& failure, const Progress& progress) {
  close();
  progress(kFailure, failure);
}

} // namespace plumex::hostlib::mail
