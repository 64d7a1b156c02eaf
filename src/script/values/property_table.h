#pragma once
// Property storage of an Object, and the attached storage of strings,
// arrays, functions and native objects. Slots keep the order in which names
// were first stored; a deleted slot keeps its place until a new name
// reuses it. Lookups compare atoms: a linear scan for small tables and an
// open-addressing index over slot numbers for larger ones.

#include <cstddef>
#include <cstdint>

#include "script/values/cell.h"

namespace plumex::script {

class Engine;

inline constexpr Atom kDeletedSlot = -1;
// A slot made by a positional store beyond the end: it has no name, so
// neither lookups nor enumeration nor deleted-slot reuse see it.
inline constexpr Atom kUnnamedSlot = -2;

// Slots are kept as two runs, the values and then their names, either in
// the table's own cell (room chosen when the table is made) or, once they
// outgrow it, in a block of their own. Most objects hold a few names, and
// a cell of its own for them saves an allocation and most of the bytes of
// a separate slot array. What tables need rarely (the hashed index,
// deleted slots, the enumeration cursor, what instances made over this
// table grew to) sits in a block made on first need.
class alignas(Value) PropertyTable final : public Cell {
public:
  // Positional stores never grow a table beyond this many slots.
  static constexpr std::uint32_t kMaxSlots = 1u << 24;
  // The most slots a table keeps in its own cell.
  static constexpr std::uint32_t kMaxInlineSlots = 10;

  // The bytes of a table cell with room for `room` slots.
  static std::size_t cellBytes(std::uint32_t room) {
    return sizeof(PropertyTable) + std::size_t{room} * (sizeof(Value) + sizeof(Atom));
  }

  // Made by the factory in a cell of cellBytes(room) bytes.
  explicit PropertyTable(std::uint32_t room);
  ~PropertyTable() override;

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
  void remove(Engine& engine, Atom atom);

  // Keys that are an Integer position or a String name; own slots only.
  bool getAt(Engine& engine, const Value& key, Value& out) const;
  void setAt(Engine& engine, const Value& key, Value v);
  void removeAt(Engine& engine, const Value& key);

  // The n-th name in first-stored order, as a new String.
  bool nameAt(Engine& engine, std::uint32_t n, Value& out) const;

  std::uint32_t count() const { return count_; }
  // A slot's name (kDeletedSlot, kUnnamedSlot or an atom) and value.
  Atom atomAt(std::uint32_t i) const { return atoms()[i]; }
  const Value& valueAt(std::uint32_t i) const { return values_[i]; }
  // Direct store into a named slot found before (the virtual machine's
  // cached stores); never for the "__proto__" slot, whose stores are
  // checked.
  void storeFound(std::uint32_t i, const Value& v) { values_[i] = v; }
  // The table of the Object held under "__proto__", or null.
  PropertyTable* prototype() const;
  // Whether this table or one on its prototype chain is `target`.
  bool chainContains(const PropertyTable* target) const;
  // Room for a new table made over this one: what such tables grew to
  // before, or 0 when none outgrew its cell yet.
  std::uint32_t instanceRoom() const;

  void trace(Tracer& t) override;
  std::size_t byteSize() const override;

private:
  static constexpr std::size_t kLinearLimit = 8;
  struct Extra;

  Value* inlineValues() const {
    return reinterpret_cast<Value*>(const_cast<std::byte*>(reinterpret_cast<const std::byte*>(this)) +
                                    sizeof(PropertyTable));
  }
  bool slotsInline() const { return values_ == inlineValues(); }
  Atom* atoms() const { return reinterpret_cast<Atom*>(values_ + capacity_); }
  Extra& extra(Engine& engine) const;
  void reserve(Engine& engine, std::size_t n);
  bool acceptsPrototype(Engine& engine, const Value& v) const;
  void storeInSlot(Engine& engine, std::uint32_t s, const Value& v);
  std::uint32_t takeSlot(Engine& engine, Atom atom);
  void clearSlot(Engine& engine, std::uint32_t s);
  void indexSlot(Engine& engine, std::uint32_t s);
  void rebuildIndex();
  void forgetCursor() const;

  // First, so that it fits beside the flags of the cell header.
  std::uint8_t inlineRoom_;
  std::uint32_t count_ = 0;
  std::uint32_t capacity_;
  std::int32_t protoSlot_ = -1;
  Value* values_;  // capacity_ values, then capacity_ atoms
  mutable Extra* extra_ = nullptr;
};

static_assert(sizeof(PropertyTable) % alignof(Value) == 0, "inline slots follow the table");

} // namespace plumex::script
