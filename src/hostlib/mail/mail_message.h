#pragma once
// One mail message: header fields, a plain-text body, an HTML body, HTML
// items (inline resources named by content id) and attachments, kept as
// the message text in a store file and the part table of where each body
// lies in it. New bodies wait, encoded, until the message is composed,
// which happens when its text is asked for. No engine values: the script
// class, the mail transfer classes, tests and tools all use it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hostlib/mail/mime_composer.h"
#include "hostlib/mail/message_store.h"
#include "hostlib/mail/part_table.h"

namespace plumex::hostlib::mail {

class MailMessage {
public:
  // Nothing when the store file cannot be made.
  static std::unique_ptr<MailMessage> create();

  // Unset fields read as nothing.
  const std::optional<std::string>& field(Field f) const { return headers_.fields[static_cast<std::size_t>(f)]; }
  void setField(Field f, std::string value);
  std::int32_t priority() const { return headers_.priority; }
  void setPriority(std::int32_t priority);

  // The bodies, decoded; "" when absent. Setting "" removes the body.
  std::string text() { return decoded(parts_.text); }
  std::string html() { return decoded(parts_.html); }
  void setText(std::string_view text);
  void setHtml(std::string_view html);

  std::size_t attachmentCount() const { return parts_.attachments.size(); }
  std::size_t htmlItemCount() const { return parts_.htmlItems.size(); }
  // Null for a bad index.
  const Part* attachment(std::size_t i) const;
  const Part* htmlItem(std::size_t i) const;

  // The file as a base64 part named after it (the text after the last "\"
  // or "/"), with the content type the system registers for its
  // extension. False, and nothing added, when the file cannot be read.
  bool addAttachment(const std::string& path);
  bool addHtmlItem(const std::string& path, std::string_view contentId);
  bool removeAttachment(std::size_t i);
  bool removeHtmlItem(std::size_t i);
  // Writes the decoded part to the file.
  bool saveAttachment(std::size_t i, const std::string& path);
  bool saveHtmlItem(std::size_t i, const std::string& path);

  // The complete message text, composed first when anything changed;
  // nothing when the store cannot be written or read.
  std::optional<std::string> asText();
  bool save(const std::string& path);
  std::optional<std::uint64_t> size();

  // Replaces everything with the message in the file (or the bytes) and
  // reads it. False, and nothing changed, when it cannot be read.
  bool load(const std::string& path);
  bool loadBytes(std::string_view message);

  // Where each body lies in the store; ranges are those of the store only
  // once composed (or loaded).
  const MessageParts& parts() const { return parts_; }
  const std::string& storePath() const { return store_.path(); }

private:
  explicit MailMessage(MessageStore store) : store_(std::move(store)) {}

  bool compose();
  std::string decoded(const MessagePart& part);
  std::optional<std::string> encodedBody(const MessagePart& part);
  bool addFilePart(const std::string& path, std::string_view contentId, std::vector<MessagePart>& to);
  bool savePart(const MessagePart& part, const std::string& path);
  void changed() { composed_ = false; }

  MessageStore store_;
  HeaderValues headers_;
  MessageParts parts_;
  // Whether the store holds the complete message as the fields and parts
  // now describe it. A new message has nothing composed yet.
  bool composed_ = false;
};

} // namespace plumex::hostlib::mail
