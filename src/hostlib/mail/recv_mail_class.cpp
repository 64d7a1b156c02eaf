#include <memory>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/mail/blocking_socket.h"
#include "hostlib/mail/mail_class.h"
#include "hostlib/mail/mail_connection.h"
#include "hostlib/mail/mail_message.h"
#include "hostlib/mail/mail_transfer_classes.h"
#include "hostlib/mail/pop3_reader.h"
#include "hostlib/mail/pop3_session.h"
#include "script/values/array_record.h"
#include "script/values/factory.h"

namespace plumex::hostlib {
namespace {

using binding::Args;
using binding::members;
using mail::MailConnection;
using mail::Pop3Session;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Value;

enum Member {
  Connect = mail::kConnectionMemberCount, Close, Stat, List, Uidl, Retr, Top, Dele, Noop, Rset, Quit, ToString
};
constexpr std::string_view kMembers[] = {"server", "port", "username", "password", "onRecv", "connect",
                                         "close",  "stat", "list",     "uidl",     "retr",   "top",
                                         "dele",   "noop", "rset",     "quit",     "toString"};

constexpr std::uint16_t kPop3Port = 110;

struct RecvMail {
  MailConnection connection{kPop3Port};
  Pop3Session session;
  void mark(script::Tracer& t) const { connection.mark(t); }
};

RecvMail* recvMailOf(void* self) { return static_cast<RecvMail*>(self); }

void constructRecvMail(Engine& e, ClassRecord& cls, ArgBlock, Value& result) {
  result = binding::newInstance(e, cls, std::make_unique<RecvMail>());
}

void callRecvMail(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructRecvMail(e, cls, block, result);
}

bool recvMailProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  const int member = members(cls).find(atom);
  if (member < 0 || member >= mail::kConnectionMemberCount) return false;
  if (RecvMail* r = recvMailOf(self)) mail::connectionProperty(e, r->connection, member, set, io);
  else if (!set) io = Value::undefined();
  return true;
}

bool connect(RecvMail& r, const mail::Progress& progress) {
  r.session.close();
  const mail::SmtpLogin& login = r.connection.login;
  // USER and PASS are lines of their own: a line break in either would
  // send commands the script never gave.
  if ((login.username && mail::breaksCommandLine(*login.username)) ||
      (login.password && mail::breaksCommandLine(*login.password))) {
    progress(mail::kFailure, "the user name or password holds a line break");
    return false;
  }
  std::unique_ptr<mail::BlockingSocket> socket = mail::BlockingSocket::connect(r.connection.server, r.connection.port);
  return socket && r.session.open(std::move(socket), login, progress);
}

// The status line's text after "+OK" and one space, without its CR LF.
std::string statusText(std::string_view line) {
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  line.remove_prefix(std::min<std::size_t>(line.size(), 4));
  return std::string(line);
}

// "+OK n value": the value, the third word.
std::optional<std::string> singleEntry(std::string_view line) {
  const std::vector<mail::ListingEntry> entries = mail::listingEntries(statusText(line));
  if (entries.empty()) return std::nullopt;
  return entries.front().value;
}

Value entryValue(Engine& e, const std::string& value, bool sizes) {
  if (!sizes) return script::makeString(e, value);
  std::int64_t size = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    if (size < (std::int64_t{1} << 40)) size = size * 10 + (c - '0');
  }
  return Value::integer(size);
}

// LIST or UIDL: one message's entry, or the array of all.
Value listed(Engine& e, RecvMail& r, const Args& args, bool sizes, const mail::Progress& progress) {
  const std::string_view verb = sizes ? "LIST" : "UIDL";
  if (args.has(0)) {
    const std::optional<std::int64_t> n = args.integer(0);
    if (!n) return Value::null();
    const std::optional<std::string> line = r.session.command(std::string(verb) + " " + std::to_string(*n) + "\r\n", progress);
    if (!line) return Value::null();
    const std::optional<std::string> value = singleEntry(*line);
    return value ? entryValue(e, *value, sizes) : Value::null();
  }
  const std::optional<std::string> listing = r.session.listing(std::string(verb) + "\r\n", progress);
  if (!listing) return Value::null();
  script::ArrayRecord* array = script::newArray(e);
  const Value result = Value::array(array);
  for (const mail::ListingEntry& entry : mail::listingEntries(*listing)) {
    array->set(e.heap(), entry.number - 1, entryValue(e, entry.value, sizes));
    if (entry.number > array->length) array->length = entry.number;
  }
  return result;
}

bool recvMailMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  RecvMail* r = recvMailOf(self);
  if (!r) return binding::classObjectMethod(e, cls, atom, result);
  const int member = members(cls).find(atom);
  if (member < Connect) return false;
  const Args args(block);
  const mail::Progress progress = r->connection.progress(e, cls);
  result = Value::null();
  switch (member) {
    case Connect:
      result = Value::boolean(connect(*r, progress));
      return true;
    case Close:
      r->session.close();
      result = Value::undefined();
      return true;
    case Stat:
      if (const auto line = r->session.command("STAT\r\n", progress)) result = script::makeString(e, statusText(*line));
      return true;
    case List:
    case Uidl:
      if (r->session.isOpen()) result = listed(e, *r, args, member == List, progress);
      return true;
    case Retr: {
      const std::optional<std::int64_t> n = args.integer(0);
      if (!n || !r->session.isOpen()) return true;
      const std::optional<std::string> text = r->session.message("RETR " + std::to_string(*n) + "\r\n", progress);
      std::unique_ptr<mail::MailMessage> message = text ? mail::MailMessage::create() : nullptr;
      if (message && message->loadBytes(*text)) result = newMailObject(e, std::move(message));
      return true;
    }
    case Top: {
      const std::optional<std::int64_t> n = args.integer(0);
      const std::optional<std::int64_t> lines = args.integer(1);
      if (!n || !lines || !r->session.isOpen()) return true;
      const std::optional<std::string> text =
          r->session.message("TOP " + std::to_string(*n) + " " + std::to_string(*lines) + "\r\n", progress);
      if (text) result = script::makeString(e, *text);
      return true;
    }
    case Dele: {
      const std::optional<std::int64_t> n = args.integer(0);
      result = Value::boolean(n && r->session.command("DELE " + std::to_string(*n) + "\r\n", progress));
      return true;
    }
    case Noop:
    case Rset:
    case Quit: {
      const std::string_view verb = member == Noop ? "NOOP" : member == Rset ? "RSET" : "QUIT";
      result = Value::boolean(r->session.command(std::string(verb) + "\r\n", progress).has_value());
      return true;
    }
    case ToString:
      result = binding::classObjectText(e, cls);
      return true;
  }
  return false;
}

} // namespace

void registerRecvMailClass(Engine& engine) {
  binding::registerClass(engine, {.name = "RecvMail",
                                  .members = kMembers,
                                  .call = callRecvMail,
                                  .method = recvMailMethod,
                                  .property = recvMailProperty,
                                  .construct = constructRecvMail,
                                  .finalizeInstance = binding::deleteInstance<RecvMail>,
                                  .markInstance = binding::markInstance<RecvMail>});
}

} // namespace plumex::hostlib
