#include "script/values/property_table.h"

#include <bit>

#include "script/values/atoms.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"

namespace plumex::script {
namespace {

std::uint32_t hashAtom(Atom atom) {
  return static_cast<std::uint32_t>(atom) * 0x9E3779B1u;
}

// The position of an Integer key: 0 to 2^32-1.
bool positionOf(const Value& key, std::uint32_t& pos) {
  if (!key.is(Kind::Integer)) return false;
  const std::int64_t k = key.integerValue();
  if (k < 0 || k > 0xFFFFFFFFll) return false;
  pos = static_cast<std::uint32_t>(k);
  return true;
}

} // namespace

std::int32_t PropertyTable::findSlot(Atom atom) const {
  if (atom < 0) return -1;
  if (index_.empty()) {
    const std::size_t n = slots_.size();
    for (std::size_t i = 0; i < n; ++i)
      if (slots_[i].atom == atom) return static_cast<std::int32_t>(i);
    return -1;
  }
  const std::uint32_t mask = static_cast<std::uint32_t>(index_.size()) - 1;
  for (std::uint32_t h = hashAtom(atom) & mask;; h = (h + 1) & mask) {
    const std::int32_t s = index_[h];
    if (s < 0) return -1;
    if (slots_[static_cast<std::size_t>(s)].atom == atom) return s;
  }
}

PropertyTable* PropertyTable::prototype() const {
  if (protoSlot_ < 0) return nullptr;
  const Value& p = slots_[static_cast<std::size_t>(protoSlot_)].value;
  return p.is(Kind::Object) ? p.asObject() : nullptr;
}

bool PropertyTable::chainContains(const PropertyTable* target) const {
  for (const PropertyTable* t = this; t; t = t->prototype())
    if (t == target) return true;
  return false;
}

const Value* PropertyTable::lookup(Atom atom) const {
  for (const PropertyTable* t = this; t; t = t->prototype()) {
    const std::int32_t s = t->findSlot(atom);
    if (s >= 0) return &t->slots_[static_cast<std::size_t>(s)].value;
  }
  return nullptr;
}

bool PropertyTable::get(Atom atom, Value& out) const {
  if (const Value* v = lookup(atom)) {
    out = *v;
    return true;
  }
  out = Value::undefined();
  return false;
}

bool PropertyTable::acceptsPrototype(Engine& engine, const Value& v) const {
  if (v.is(Kind::Object) && v.asObject()->chainContains(this)) {
    engine.warn("Warning: can't set property \"" + engine.atomName(kAtomProto) +
                "\" with a wrong type");
    return false;
  }
  return true;
}

void PropertyTable::storeInSlot(Engine& engine, std::uint32_t s, const Value& v) {
  if (static_cast<std::int32_t>(s) == protoSlot_ && !acceptsPrototype(engine, v)) return;
  slots_[s].value = v;
}

void PropertyTable::set(Engine& engine, Atom atom, Value v) {
  const std::int32_t found = findSlot(atom);
  if (found >= 0) {
    storeInSlot(engine, static_cast<std::uint32_t>(found), v);
    return;
  }
  if (atom == kAtomProto && !acceptsPrototype(engine, v)) return;
  const std::uint32_t s = takeSlot(engine, atom);
  slots_[s].value = v;
  if (atom == kAtomProto) protoSlot_ = static_cast<std::int32_t>(s);
}

std::uint32_t PropertyTable::takeSlot(Engine& engine, Atom atom) {
  forgetCursor();
  std::uint32_t s;
  if (deleted_ > 0) {
    // The last deleted slot in slot order takes the new name.
    s = count();
    while (slots_[--s].atom != kDeletedSlot) {}
    slots_[s].atom = atom;
    --deleted_;
  } else {
    const std::size_t before = byteSize();
    // Most objects hold a few names: skip the first doublings.
    if (slots_.empty()) slots_.reserve(4);
    slots_.push_back(PropertySlot{atom, Value::undefined()});
    engine.heap().charge(byteSize() - before);
    s = count() - 1;
  }
  indexSlot(s);
  return s;
}

void PropertyTable::indexSlot(std::uint32_t s) {
  if (index_.empty()) {
    if (slots_.size() > kLinearLimit) rebuildIndex();
    return;
  }
  if ((indexUsed_ + 1) * 2 > index_.size()) {
    rebuildIndex();
    return;
  }
  const std::uint32_t mask = static_cast<std::uint32_t>(index_.size()) - 1;
  std::uint32_t h = hashAtom(slots_[s].atom) & mask;
  while (index_[h] >= 0) h = (h + 1) & mask;
  index_[h] = static_cast<std::int32_t>(s);
  ++indexUsed_;
}

void PropertyTable::rebuildIndex() {
  std::size_t named = 0;
  for (const PropertySlot& slot : slots_) named += slot.atom >= 0;
  const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, named * 4));
  index_.assign(size, -1);
  const std::uint32_t mask = static_cast<std::uint32_t>(size) - 1;
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    if (slots_[s].atom < 0) continue;
    std::uint32_t h = hashAtom(slots_[s].atom) & mask;
    while (index_[h] >= 0) h = (h + 1) & mask;
    index_[h] = static_cast<std::int32_t>(s);
  }
  indexUsed_ = static_cast<std::uint32_t>(named);
}

void PropertyTable::remove(Atom atom) {
  const std::int32_t s = findSlot(atom);
  if (s < 0) return;
  forgetCursor();
  // The slot stays where it is; its index entry goes stale and no longer
  // matches any name.
  slots_[static_cast<std::size_t>(s)] = PropertySlot{kDeletedSlot, Value::undefined()};
  ++deleted_;
  if (s == protoSlot_) protoSlot_ = -1;
}

bool PropertyTable::getAt(Engine& engine, const Value& key, Value& out) const {
  out = Value::undefined();
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos >= count() || slots_[pos].atom == kDeletedSlot) return false;
    out = slots_[pos].value;
    return true;
  }
  if (key.is(Kind::String)) {
    const auto atom = engine.atoms().find(key.asString()->view());
    const std::int32_t s = atom ? findSlot(*atom) : -1;
    if (s < 0) return false;
    out = slots_[static_cast<std::size_t>(s)].value;
    return true;
  }
  return false;
}

void PropertyTable::setAt(Engine& engine, const Value& key, Value v) {
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos >= count()) {
      if (pos >= kMaxSlots) raiseError(engine, "Out of memory");
      const std::size_t before = byteSize();
      slots_.resize(std::size_t{pos} + 1, PropertySlot{kUnnamedSlot, Value::undefined()});
      engine.heap().charge(byteSize() - before);
    }
    storeInSlot(engine, pos, v);
    return;
  }
  if (key.is(Kind::String)) set(engine, engine.intern(key.asString()->view()), v);
}

void PropertyTable::removeAt(Engine& engine, const Value& key) {
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos >= count() || slots_[pos].atom == kDeletedSlot) return;
    forgetCursor();
    if (static_cast<std::int32_t>(pos) == protoSlot_) protoSlot_ = -1;
    slots_[pos] = PropertySlot{kDeletedSlot, Value::undefined()};
    ++deleted_;
    return;
  }
  if (key.is(Kind::String))
    if (const auto atom = engine.atoms().find(key.asString()->view())) remove(*atom);
}

bool PropertyTable::nameAt(Engine& engine, std::uint32_t n, Value& out) const {
  out = Value::undefined();
  std::int64_t name = -1;
  std::size_t s = 0;
  if (cursorName_ >= 0 && static_cast<std::int64_t>(cursorName_) <= static_cast<std::int64_t>(n)) {
    name = cursorName_;
    s = static_cast<std::size_t>(cursorSlot_);
    if (name == n) {
      out = copyString(engine, engine.atoms().name(slots_[s].atom));
      return true;
    }
    ++s;
  }
  for (; s < slots_.size(); ++s) {
    if (slots_[s].atom < 0) continue;
    if (++name == n) {
      cursorName_ = static_cast<std::int32_t>(name);
      cursorSlot_ = static_cast<std::int32_t>(s);
      out = copyString(engine, engine.atoms().name(slots_[s].atom));
      return true;
    }
  }
  return false;
}

void PropertyTable::trace(Tracer& t) {
  for (const PropertySlot& slot : slots_) t.mark(slot.value);
}

std::size_t PropertyTable::byteSize() const {
  return sizeof(*this) + slots_.capacity() * sizeof(PropertySlot) +
         index_.capacity() * sizeof(std::int32_t);
}

} // namespace plumex::script
