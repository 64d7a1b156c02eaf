#include "script/values/atoms.h"

#include "platform/ansi_text.h"

namespace plumex::script {

std::uint32_t hashName(std::string_view bytes) {
  std::uint32_t h = 0;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    h = (h >> 7) ^ (h >> 16) ^ c ^ (h << 5);
  }
  return h;
}

AtomTable::AtomTable() {
  for (std::u16string_view n : {u"__proto__", u"prototype", u"toSource", u"toString", u"valueOf"})
    intern(n);
}

Atom AtomTable::intern(std::u16string_view name) {
  if (auto it = byName_.find(name); it != byName_.end()) return it->second;
  const auto atom = static_cast<Atom>(names_.size());
  Entry& e = names_.emplace_back(Entry{std::u16string(name), utf16ToAnsi(name)});
  byName_.emplace(std::u16string_view(e.name), atom);
  return atom;
}

Atom AtomTable::internAnsi(std::string_view name) { return intern(ansiToUtf16(name)); }

std::optional<Atom> AtomTable::find(std::u16string_view name) const {
  if (auto it = byName_.find(name); it != byName_.end()) return it->second;
  return std::nullopt;
}

const std::string& AtomTable::ansiName(Atom atom) const {
  static const std::string unknown = "???";
  if (atom < 0 || static_cast<std::size_t>(atom) >= names_.size()) return unknown;
  return names_[static_cast<std::size_t>(atom)].ansi;
}

std::u16string_view AtomTable::name(Atom atom) const {
  if (atom < 0 || static_cast<std::size_t>(atom) >= names_.size()) return u"???";
  return names_[static_cast<std::size_t>(atom)].name;
}

} // namespace plumex::script
