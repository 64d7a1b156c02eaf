#include "hostlib/mail/mail_connection.h"

#include "binding/class_binding.h"
#include "hostlib/mail/blocking_socket.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"

namespace plumex::hostlib::mail {

using script::Kind;
using script::Value;

bool MailConnection::open() {
  channel.reset();
  channel = BlockingSocket::connect(server, port);
  return channel != nullptr;
}

Progress MailConnection::progress(script::Engine& engine, script::ClassRecord& cls) {
  return [this, &engine, &cls](int code, std::string_view text) {
    if (!handler.isSet()) return true;
    // The object the call is for: the class object, as for every class
    // that does not keep its instances' own values.
    const Value self = engine.global(binding::members(cls).className());
    const Value args[] = {Value::integer(code), script::makeString(engine, text)};
    // A handler that fails stops what it was asked about.
    return handler.fire(engine, self, args) && script::toBoolean(engine.result);
  };
}

void connectionProperty(script::Engine& engine, MailConnection& c, int member, bool set, Value& io) {
  switch (member) {
    case kServer:
      if (!set) io = script::makeString(engine, c.server);
      else if (io.is(Kind::String)) c.server = script::toAnsi(io);
      return;
    case kPort:
      if (!set) io = Value::integer(c.port);
      else c.port = static_cast<std::uint16_t>(script::toInt32(engine, io));
      return;
    case kUsername:
    case kPassword: {
      std::optional<std::string>& field = member == kUsername ? c.login.username : c.login.password;
      if (!set) io = field ? script::makeString(engine, *field) : Value::undefined();
      else if (io.is(Kind::String)) field = script::toAnsi(io);
      return;
    }
    case kHandler:
      c.handler.property(set, io);
      return;
  }
}

} // namespace plumex::hostlib::mail
