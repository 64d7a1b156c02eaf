#include <memory>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/mail/blocking_socket.h"
#include "hostlib/mail/mail_class.h"
#include "hostlib/mail/mail_connection.h"
#include "hostlib/mail/mail_message.h"
#include "hostlib/mail/mail_transfer_classes.h"
#include "hostlib/mail/smtp_reply.h"
#include "script/values/factory.h"

namespace plumex::hostlib {
namespace {

using binding::Args;
using binding::members;
using mail::MailConnection;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Value;

enum Member { Send = mail::kConnectionMemberCount, Connect, Command, Write, Close, ToString };
constexpr std::string_view kMembers[] = {"server", "port",    "username", "password", "onSend", "send",
                                         "connect", "command", "write",    "close",    "toString"};

constexpr std::uint16_t kSmtpPort = 25;

MailConnection* connectionOf(void* self) { return static_cast<MailConnection*>(self); }

void constructSendMail(Engine& e, ClassRecord& cls, ArgBlock, Value& result) {
  result = binding::newInstance(e, cls, std::make_unique<MailConnection>(kSmtpPort));
}

void callSendMail(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructSendMail(e, cls, block, result);
}

bool sendMailProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  const int member = members(cls).find(atom);
  if (member < 0 || member >= mail::kConnectionMemberCount) return false;
  if (MailConnection* c = connectionOf(self)) mail::connectionProperty(e, *c, member, set, io);
  else if (!set) io = Value::undefined();
  return true;
}

// The mail's envelope and text; nothing when it has no sender or
// recipients, when a field that goes into a command line holds a line
// break, or when its text cannot be composed.
std::optional<mail::OutgoingMail> outgoingOf(mail::MailMessage& m, const mail::SmtpLogin& login,
                                             const mail::Progress& progress) {
  using mail::Field;
  const auto field = [&](Field f) { return m.field(f).value_or(""); };
  mail::OutgoingMail out{field(Field::From), field(Field::To), field(Field::Cc), field(Field::Bcc), {}};
  if (out.from.empty() || out.to.empty()) return std::nullopt;
  for (const std::string* text : {&out.from, &out.to, &out.cc, &out.bcc}) {
    if (!mail::breaksCommandLine(*text)) continue;
    progress(mail::kFailure, "a mail address holds a line break");
    return std::nullopt;
  }
  // The reply address and date are header lines of their own: a line break
  // there would add fields the script never set.
  if (mail::breaksCommandLine(field(Field::ReplyTo)) || mail::breaksCommandLine(field(Field::Date))) {
    progress(mail::kFailure, "a mail header field holds a line break");
    return std::nullopt;
  }
  if ((login.username && mail::breaksCommandLine(*login.username)) ||
      (login.password && mail::breaksCommandLine(*login.password))) {
    progress(mail::kFailure, "the user name or password holds a line break");
    return std::nullopt;
  }
  std::optional<std::string> text = m.asText();
  if (!text) return std::nullopt;
  out.text = std::move(*text);
  return out;
}

bool send(Engine& e, ClassRecord& cls, MailConnection& c, const Value& mailValue) {
  mail::MailMessage* m = mailMessageOf(mailValue);
  if (!m) return false;
  const mail::Progress progress = c.progress(e, cls);
  const std::optional<mail::OutgoingMail> out = outgoingOf(*m, c.login, progress);
  if (!out) return false;
  // The dialogue has its own connection; the raw one stays as it is.
  const std::unique_ptr<mail::BlockingSocket> socket = mail::BlockingSocket::connect(c.server, c.port);
  if (!socket) {
    progress(mail::kFailure, "can't connect to the smtp server");
    return false;
  }
  return mail::sendOverSmtp(*socket, *out, c.login, mail::localHostName(), progress);
}

bool sendMailMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  MailConnection* c = connectionOf(self);
  if (!c) return binding::classObjectMethod(e, cls, atom, result);
  const int member = members(cls).find(atom);
  if (member < Send) return false;
  const Args args(block);
  result = Value::undefined();
  switch (member) {
    case Send:
      result = Value::boolean(send(e, cls, *c, args[0]));
      return true;
    case Connect:
      result = Value::boolean(c->open());
      return true;
    case Command: {
      result = Value::boolean(false);
      const std::optional<std::string> text = args.text(0);
      if (!c->channel || !text) return true;
      std::string failure;
      if (!c->channel->sendAll(*text)) return true;
      if (const std::optional<std::string> reply = mail::readSmtpReply(*c->channel, failure))
        result = script::makeString(e, *reply);
      return true;
    }
    case Write: {
      const std::optional<std::string> text = args.text(0);
      result = Value::boolean(c->channel && text && c->channel->sendAll(*text));
      return true;
    }
    case Close:
      c->channel.reset();
      return true;
    case ToString:
      result = binding::classObjectText(e, cls);
      return true;
  }
  return false;
}

} // namespace

void registerSendMailClass(Engine& engine) {
  binding::registerClass(engine, {.name = "SendMail",
                                  .members = kMembers,
                                  .call = callSendMail,
                                  .method = sendMailMethod,
                                  .property = sendMailProperty,
                                  .construct = constructSendMail,
                                  .finalizeInstance = binding::deleteInstance<MailConnection>,
                                  .markInstance = binding::markInstance<MailConnection>});
}

} // namespace plumex::hostlib
