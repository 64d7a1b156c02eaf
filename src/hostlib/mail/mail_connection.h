#pragma once
// What SendMail and RecvMail objects hold alike: the connection, the
// server and login, the port and the progress handler, with the members
// that read and write them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "binding/event_handler.h"
#include "hostlib/mail/byte_channel.h"
#include "hostlib/mail/smtp_dialogue.h"
#include "hostlib/mail/transfer_progress.h"
#include "script/values/engine.h"

namespace plumex::hostlib::mail {

struct MailConnection {
  explicit MailConnection(std::uint16_t defaultPort) : port(defaultPort) {}

  std::unique_ptr<ByteChannel> channel;
  std::string server = "localhost";
  SmtpLogin login;
  binding::EventHandler handler;
  std::uint16_t port;

  void mark(script::Tracer& t) const { handler.mark(t); }
  // Opens a new connection to server and port, closing the old one first.
  bool open();

  // The handler as a progress report: called with (code, text) on behalf
  // of the class object; its answer's truth, or true without a handler.
  Progress progress(script::Engine& engine, script::ClassRecord& cls);
};

// The members both classes share, in this order at the start of their
// member lists.
enum ConnectionMember { kServer, kPort, kUsername, kPassword, kHandler, kConnectionMemberCount };

// The property hook's answer for a shared member.
void connectionProperty(script::Engine& engine, MailConnection& c, int member, bool set, script::Value& io);

} // namespace plumex::hostlib::mail
