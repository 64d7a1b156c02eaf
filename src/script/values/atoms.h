#pragma once
// Interned names. Each distinct UTF-16 name gets one dense 32-bit atom;
// lookups compare atoms, never texts, and never convert to ANSI.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "script/values/value.h"

namespace plumex::script {

// The shared name hash over the bytes of a name, used by the keyword table
// and native hash tables.
std::uint32_t hashName(std::string_view bytes);

// Atoms interned first by every engine, in this order.
inline constexpr Atom kAtomProto = 0;      // "__proto__"
inline constexpr Atom kAtomPrototype = 1;  // "prototype"
inline constexpr Atom kAtomToSource = 2;   // "toSource"
inline constexpr Atom kAtomToString = 3;   // "toString"
inline constexpr Atom kAtomValueOf = 4;    // "valueOf"

class AtomTable {
public:
  AtomTable();

  Atom intern(std::u16string_view name);
  // Text from the system's ANSI code page.
  Atom internAnsi(std::string_view name);
  std::optional<Atom> find(std::u16string_view name) const;

  // The name in the ANSI code page; "???" for a number that names nothing.
  const std::string& ansiName(Atom atom) const;
  std::u16string_view name(Atom atom) const;
  std::size_t size() const { return names_.size(); }

private:
  struct Entry {
    std::u16string name;
    std::string ansi;
  };
  std::deque<Entry> names_;  // a deque keeps every name where it is
  std::unordered_map<std::u16string_view, Atom> byName_;
};

} // namespace plumex::script
