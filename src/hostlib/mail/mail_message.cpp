#include "hostlib/mail/mail_message.h"

#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/charsets.h"
#include "hostlib/codecs/quoted_printable.h"
#include "hostlib/mail/boundary.h"
#include "hostlib/mail/mime_parser.h"
#include "hostlib/mail/system_facts.h"

namespace plumex::hostlib::mail {
namespace {

constexpr std::size_t kBase64Line = 76;

std::optional<std::string> readFile(const std::string& path) {
  InputFile f;
  if (!f.open(path)) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(f.size()), '\0');
  if (!f.readExactly(bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

bool writeFile(const std::string& path, std::string_view bytes) {
  OutputFile f;
  return f.create(path) && f.write(bytes.data(), bytes.size()) && f.close();
}

MessagePart textPart(std::string_view text, const char* type) {
  MessagePart p;
  if (text.empty()) return p;
  p.part.encoding = Encoding::QuotedPrintable;
  p.part.contentType = type;
  p.fresh = codecs::encodeQuotedPrintable(text);
  return p;
}

MessagePart stored(const Part& part) { return MessagePart{part, std::nullopt}; }

} // namespace

std::unique_ptr<MailMessage> MailMessage::create() {
  std::optional<MessageStore> store = MessageStore::create();
  if (!store) return nullptr;
  return std::unique_ptr<MailMessage>(new MailMessage(std::move(*store)));
}

void MailMessage::setField(Field f, std::string value) {
  headers_.fields[static_cast<std::size_t>(f)] = std::move(value);
  changed();
}

void MailMessage::setPriority(std::int32_t priority) {
  headers_.priority = priority;
  changed();
}

void MailMessage::setText(std::string_view text) {
  parts_.text = textPart(text, "text/plain");
  changed();
}

void MailMessage::setHtml(std::string_view html) {
  parts_.html = textPart(html, "text/html");
  changed();
}

const Part* MailMessage::attachment(std::size_t i) const {
  return i < parts_.attachments.size() ? &parts_.attachments[i].part : nullptr;
}

const Part* MailMessage::htmlItem(std::size_t i) const {
  return i < parts_.htmlItems.size() ? &parts_.htmlItems[i].part : nullptr;
}

bool MailMessage::addFilePart(const std::string& path, std::string_view contentId, std::vector<MessagePart>& to) {
  const std::optional<std::string> bytes = readFile(path);
  if (!bytes) return false;
  MessagePart p;
  p.part.encoding = Encoding::Base64;
  p.part.contentType = writableType(contentTypeForFile(path), Encoding::Base64);
  p.part.name = baseName(path);
  p.part.contentId = contentId;
  // Lines of 76 characters, each ended by CR LF.
  std::string body = codecs::encodeBase64(*bytes, kBase64Line);
  if (!body.empty()) body += "\r\n";
  p.fresh = std::move(body);
  to.push_back(std::move(p));
  changed();
  return true;
}

bool MailMessage::addAttachment(const std::string& path) { return addFilePart(path, {}, parts_.attachments); }

bool MailMessage::addHtmlItem(const std::string& path, std::string_view contentId) {
  return addFilePart(path, contentId, parts_.htmlItems);
}

bool MailMessage::removeAttachment(std::size_t i) {
  if (i >= parts_.attachments.size()) return false;
  parts_.attachments.erase(parts_.attachments.begin() + static_cast<std::ptrdiff_t>(i));
  changed();
  return true;
}

bool MailMessage::removeHtmlItem(std::size_t i) {
  if (i >= parts_.htmlItems.size()) return false;
  parts_.htmlItems.erase(parts_.htmlItems.begin() + static_cast<std::ptrdiff_t>(i));
  changed();
  return true;
}

std::optional<std::string> MailMessage::encodedBody(const MessagePart& part) {
  if (part.fresh) return *part.fresh;
  if (!part.part.present()) return std::string();
  InputFile f;
  if (!store_.openForReading(f)) return std::nullopt;
  std::string bytes;
  if (!FileSource(f).read(static_cast<std::uint64_t>(part.part.start), static_cast<std::uint64_t>(part.part.end),
                          bytes))
    return std::nullopt;
  return bytes;
}

std::string MailMessage::decoded(const MessagePart& part) {
  const std::optional<std::string> body = encodedBody(part);
  return body ? decodeBody(*body, part.part.encoding) : std::string();
}

bool MailMessage::savePart(const MessagePart& part, const std::string& path) {
  if (!part.fresh && !part.part.present()) return false;
  return writeFile(path, decoded(part));
}

bool MailMessage::saveAttachment(std::size_t i, const std::string& path) {
  return i < parts_.attachments.size() && savePart(parts_.attachments[i], path);
}

bool MailMessage::saveHtmlItem(std::size_t i, const std::string& path) {
  return i < parts_.htmlItems.size() && savePart(parts_.htmlItems[i], path);
}

bool MailMessage::compose() {
  if (composed_) return true;
  std::optional<MessageStore> next = MessageStore::create();
  if (!next) return false;
  InputFile oldFile;
  OutputFile newFile;
  if (!store_.openForReading(oldFile) || !newFile.create(next->path())) return false;
  const unsigned codePage = ansiCodePage();
  const ComposeStyle style{codecs::charsetForCodePage(codePage), codePage, newBoundary};
  FileSource source(oldFile);
  FileSink sink(newFile);
  std::optional<PartTable> table = composeMessage(headers_, parts_, source, sink, style);
  if (!table || !sink.flush() || !newFile.close()) return false;
  oldFile.close();
  parts_.text = stored(table->text);
  parts_.html = stored(table->html);
  for (std::size_t i = 0; i < parts_.attachments.size(); ++i) parts_.attachments[i] = stored(table->attachments[i]);
  for (std::size_t i = 0; i < parts_.htmlItems.size(); ++i) parts_.htmlItems[i] = stored(table->htmlItems[i]);
  store_ = std::move(*next);
  composed_ = true;
  return true;
}

std::optional<std::string> MailMessage::asText() {
  std::string text;
  if (!compose() || !store_.read(text)) return std::nullopt;
  return text;
}

std::optional<std::uint64_t> MailMessage::size() {
  if (!compose()) return std::nullopt;
  return store_.size();
}

bool MailMessage::save(const std::string& path) {
  if (!compose()) return false;
  InputFile from;
  OutputFile to;
  if (!store_.openForReading(from) || !to.create(path)) return false;
  FileSink sink(to);
  return FileSource(from).copy(0, from.size(), sink) && sink.flush() && to.close();
}

bool MailMessage::load(const std::string& path) {
  const std::optional<std::string> bytes = readFile(path);
  return bytes && loadBytes(*bytes);
}

bool MailMessage::loadBytes(std::string_view message) {
  std::optional<MessageStore> next = MessageStore::create();
  if (!next || !next->assign(message)) return false;
  ParsedMessage parsed = parseMessage(message);
  headers_.fields = std::move(parsed.fields);
  headers_.priority = parsed.priority;
  parts_.text = stored(parsed.parts.text);
  parts_.html = stored(parsed.parts.html);
  parts_.attachments.clear();
  for (const Part& p : parsed.parts.attachments) parts_.attachments.push_back(stored(p));
  parts_.htmlItems.clear();
  for (const Part& p : parsed.parts.htmlItems) parts_.htmlItems.push_back(stored(p));
  store_ = std::move(*next);
  composed_ = true;
  return true;
}

} // namespace plumex::hostlib::mail
