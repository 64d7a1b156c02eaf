#include "hostlib/mail/mail_class.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/mail/mail_message.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"

namespace plumex::hostlib {
namespace {

using binding::Args;
using binding::members;
using mail::Field;
using mail::MailMessage;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

enum Member {
  // Properties; the header fields in the order of mail::Field.
  From, ReplyTo, To, Subject, Cc, Bcc, Date,
  Priority, Size, Text, Html, AttachmentCount, HtmlItemCount,
  // Methods.
  AsText, Save, Load, AddAttachment, RemoveAttachment, GetAttachmentName, GetAttachmentContentType,
  SaveAttachment, AddHtmlItem, RemoveHtmlItem, GetHtmlItemName, GetHtmlItemId, SaveHtmlItem, ToString,
};
constexpr std::string_view kMembers[] = {
    "from", "replyTo", "to", "subject", "cc", "bcc", "date",
    "priority", "size", "text", "html", "attachmentCount", "htmlItemCount",
    "asText", "save", "load", "addAttachment", "removeAttachment", "getAttachmentName",
    "getAttachmentContentType", "saveAttachment", "addHtmlItem", "removeHtmlItem", "getHtmlItemName",
    "getHtmlItemID", "saveHtmlItem", "toString"};

MailMessage* messageOf(void* self) { return static_cast<MailMessage*>(self); }

void constructMail(Engine& e, ClassRecord& cls, ArgBlock, Value& result) {
  std::unique_ptr<MailMessage> message = MailMessage::create();
  result = message ? binding::newInstance(e, cls, std::move(message)) : Value::null();
}

void callMail(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) { constructMail(e, cls, block, result); }

// The text of any value, as a written property takes it.
std::string textOf(Engine& e, const Value& v) { return script::toAnsi(script::toStringValue(e, v)); }

bool mailProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  const int member = members(cls).find(atom);
  if (member < From || member > HtmlItemCount) return false;
  if (!set) io = Value::undefined();
  MailMessage* m = messageOf(self);
  if (!m) return true;
  switch (member) {
    case Priority:
      if (set) m->setPriority(script::toInt32(e, io));
      else io = Value::integer(m->priority());
      return true;
    case Size:
      if (!set) io = Value::integer(static_cast<std::int64_t>(m->size().value_or(0)));
      return true;
    case Text:
      if (set) m->setText(textOf(e, io));
      else io = script::makeString(e, m->text());
      return true;
    case Html:
      if (set) m->setHtml(textOf(e, io));
      else io = script::makeString(e, m->html());
      return true;
    case AttachmentCount:
      if (!set) io = Value::integer(static_cast<std::int64_t>(m->attachmentCount()));
      return true;
    case HtmlItemCount:
      if (!set) io = Value::integer(static_cast<std::int64_t>(m->htmlItemCount()));
      return true;
    default: {
      const auto field = static_cast<Field>(member - From);
      if (set) m->setField(field, textOf(e, io));
      else io = script::makeString(e, m->field(field).value_or(""));
      return true;
    }
  }
}

// An index argument: an Integer, or a Float with an integral value.
std::optional<std::size_t> indexOf(const Args& args, std::size_t i) {
  if (!args.has(i)) return std::nullopt;
  const Value& v = args[i];
  double n;
  if (v.is(Kind::Integer)) n = static_cast<double>(v.integerValue());
  else if (v.is(Kind::Float) && std::floor(v.floatValue()) == v.floatValue()) n = v.floatValue();
  else return std::nullopt;
  if (n < 0 || n > 4294967295.0) return std::nullopt;
  return static_cast<std::size_t>(n);
}

bool mailMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  MailMessage* m = messageOf(self);
  if (!m) return binding::classObjectMethod(e, cls, atom, result);
  const int member = members(cls).find(atom);
  if (member < AsText) return false;
  const Args args(block);
  result = Value::undefined();
  // Methods of a part: the part at the index, when there is one.
  auto partAt = [&](bool item) -> const mail::Part* {
    const auto i = indexOf(args, 0);
    if (!i) return nullptr;
    return item ? m->htmlItem(*i) : m->attachment(*i);
  };
  switch (member) {
    case AsText: {
      const std::optional<std::string> text = m->asText();
      result = text ? script::makeString(e, *text) : Value::null();
      return true;
    }
    case Save:
    case Load:
    case AddAttachment:
      if (const auto path = args.text(0)) {
        result = Value::boolean(member == Save   ? m->save(*path)
                                : member == Load ? m->load(*path)
                                                 : m->addAttachment(*path));
      }
      return true;
    case AddHtmlItem: {
      const auto path = args.text(0);
      const auto id = args.text(1);
      if (path && id) result = Value::boolean(m->addHtmlItem(*path, *id));
      return true;
    }
    case RemoveAttachment:
    case RemoveHtmlItem:
      if (const auto i = indexOf(args, 0)) {
        if (member == RemoveAttachment) m->removeAttachment(*i);
        else m->removeHtmlItem(*i);
      }
      return true;
    case GetAttachmentName:
    case GetAttachmentContentType:
      if (const mail::Part* p = partAt(false))
        result = script::makeString(e, member == GetAttachmentName ? p->name : p->contentType);
      return true;
    case GetHtmlItemName:
    case GetHtmlItemId:
      if (const mail::Part* p = partAt(true)) result = script::makeString(e, member == GetHtmlItemName ? p->name : p->contentId);
      return true;
    case SaveAttachment:
    case SaveHtmlItem: {
      const auto i = indexOf(args, 0);
      const auto path = args.text(1);
      const bool item = member == SaveHtmlItem;
      if (i && path && (item ? m->htmlItem(*i) : m->attachment(*i)))
        result = Value::boolean(item ? m->saveHtmlItem(*i, *path) : m->saveAttachment(*i, *path));
      return true;
    }
    case ToString:
      result = binding::classObjectText(e, cls);
      return true;
  }
  return false;
}

} // namespace

MailMessage* mailMessageOf(const Value& v) {
  if (!v.is(Kind::Native)) return nullptr;
  // The finaliser names the instance type: no other class deletes a
  // MailMessage.
  const script::NativeCell* cell = v.asNative();
  if (cell->classRecord()->finalizeInstance != binding::deleteInstance<MailMessage>) return nullptr;
  return static_cast<MailMessage*>(cell->instance());
}

Value newMailObject(Engine& engine, std::unique_ptr<MailMessage> message) {
  ClassRecord* cls = binding::findClass(engine, "Mail");
  if (!cls || cls->finalizeInstance != binding::deleteInstance<MailMessage>) return Value::null();
  return binding::newInstance(engine, *cls, std::move(message));
}

void registerMailClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Mail",
                                  .members = kMembers,
                                  .call = callMail,
                                  .method = mailMethod,
                                  .property = mailProperty,
                                  .construct = constructMail,
                                  .finalizeInstance = binding::deleteInstance<MailMessage>});
}

} // namespace plumex::hostlib
