#include "hostlib/mail/message_store.h"

namespace plumex::hostlib::mail {

std::optional<MessageStore> MessageStore::create() {
  std::string path = createTemporaryFile("~pm");
  if (path.empty()) return std::nullopt;
  return MessageStore(std::move(path));
}

MessageStore::~MessageStore() {
  if (!path_.empty()) removeFile(path_);
}

MessageStore::MessageStore(MessageStore&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

MessageStore& MessageStore::operator=(MessageStore&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) removeFile(path_);
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

std::uint64_t MessageStore::size() const {
  InputFile f;
  return f.open(path_) ? f.size() : 0;
}

bool MessageStore::assign(std::string_view bytes) {
  OutputFile f;
  return f.create(path_) && f.write(bytes.data(), bytes.size()) && f.close();
}

bool MessageStore::read(std::string& out) const {
  InputFile f;
  if (!f.open(path_)) return false;
  out.resize(static_cast<std::size_t>(f.size()));
  return f.readExactly(out.data(), out.size());
}

} // namespace plumex::hostlib::mail
