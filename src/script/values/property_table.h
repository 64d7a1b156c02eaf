#pragma once
// Property storage of an Object, and the attached storage of strings,
// arrays, functions and native objects. Slots keep the order in which names
// were first stored; a deleted slot keeps its place until a new name
// reuses it. Lookups compare atoms: a linear scan for small tables and an
// open-addressing index over slot numbers for larger ones.

#include <cstdint>
#include <vector>

#include "script/values/cell.h"

namespace plumex::script {

class Engine;

inline constexpr Atom kDeletedSlot = -1;
// A slot made by a positional store beyond the end: it has no name, so
// neither lookups nor enumeration nor deleted-slot reuse see it.
inline constexpr Atom kUnnamedSlot = -2;

struct PropertySlot {
  Atom atom;
  Value value;
};

class PropertyTable final : public Cell {
public:
  // Positional stores never grow a table beyond this many slots.
  static constexpr std::uint32_t kMaxSlots = 1u << 24;

  // Own slot number of a name, or -1.
  std::int32_t findSlot(Atom atom) const;
  // The own property, else along "__proto__" objects; null when absent.
  // The pointer stays valid until the next store into the table.
  const Value* lookup(Atom atom) const;
  bool get(Atom atom, Value& out) const;
  // Stores an own property. A "__proto__" that would close a cycle is
  // refused with a warning. The stored values are taken by copy: they may
  // live in storage that the store moves.
  void set(Engine& engine, Atom atom, Value v);
  void remove(Atom atom);

  // Keys that are an Integer position or a String name; own slots only.
  bool getAt(Engine& engine, const Value& key, Value& out) const;
  void setAt(Engine& engine, const Value& key, Value v);
  void removeAt(Engine& engine, const Value& key);

  // The n-th name in first-stored order, as a new String.
  bool nameAt(Engine& engine, std::uint32_t n, Value& out) const;

  std::uint32_t count() const { return static_cast<std::uint32_t>(slots_.size()); }
  const PropertySlot& slot(std::uint32_t i) const { return slots_[i]; }
  // Direct store into a named slot found before (the virtual machine's
  // cached stores); never for the "__proto__" slot, whose stores are
  // checked.
  void storeFound(std::uint32_t i, const Value& v) { slots_[i].value = v; }
  // The table of the Object held under "__proto__", or null.
  PropertyTable* prototype() const;
  // Whether this table or one on its prototype chain is `target`.
  bool chainContains(const PropertyTable* target) const;

  void trace(Tracer& t) override;
  std::size_t byteSize() const override;

private:
  static constexpr std::size_t kLinearLimit = 8;

  bool acceptsPrototype(Engine& engine, const Value& v) const;
  void storeInSlot(Engine& engine, std::uint32_t s, const Value& v);
  std::uint32_t takeSlot(Engine& engine, Atom atom);
  void indexSlot(std::uint32_t s);
  void rebuildIndex();
  void forgetCursor() const { cursorName_ = cursorSlot_ = -1; }

  std::vector<PropertySlot> slots_;
  std::vector<std::int32_t> index_;  // slot numbers, -1 empty; a power of two in size
  std::uint32_t indexUsed_ = 0;      // occupied index entries, stale ones included
  std::uint32_t deleted_ = 0;
  std::int32_t protoSlot_ = -1;
  // Where the last enumeration step stopped, so that for-in is linear.
  // 32 bits each: names and slots stay below kMaxSlots, and the table
  // then fits a smaller cell.
  mutable std::int32_t cursorName_ = -1;
  mutable std::int32_t cursorSlot_ = -1;
};

} // namespace plumex::script
