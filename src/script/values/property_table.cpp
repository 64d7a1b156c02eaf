#include "script/values/property_table.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

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

struct PropertyTable::Extra {
  std::vector<std::int32_t> index;  // slot numbers, -1 empty; a power of two in size
  std::uint32_t indexUsed = 0;      // occupied index entries, stale ones included
  std::uint32_t deleted = 0;
  // Where the last enumeration step stopped, so that for-in is linear.
  std::int32_t cursorName = -1;
  std::int32_t cursorSlot = -1;
  std::uint32_t instanceRoom = 0;
};

PropertyTable::PropertyTable(std::uint32_t room)
    : inlineRoom_(static_cast<std::uint8_t>(room)), capacity_(room),
      values_(room > 0 ? inlineValues() : nullptr) {}

PropertyTable::~PropertyTable() {
  if (!slotsInline()) std::free(values_);
  delete extra_;
}

PropertyTable::Extra& PropertyTable::extra(Engine& engine) const {
  if (!extra_) {
    extra_ = new Extra;
    engine.heap().charge(sizeof(Extra));
  }
  return *extra_;
}

void PropertyTable::forgetCursor() const {
  if (extra_) extra_->cursorName = extra_->cursorSlot = -1;
}

std::uint32_t PropertyTable::instanceRoom() const { return extra_ ? extra_->instanceRoom : 0; }

void PropertyTable::reserve(Engine& engine, std::size_t n) {
  if (n <= capacity_) return;
  // Named slots have no limit but memory; a count past 32 bits would not
  // be one either.
  const std::size_t slotBytes = sizeof(Value) + sizeof(Atom);
  const std::size_t grown = std::max<std::size_t>({n, std::size_t{capacity_} * 2, 4});
  if (n > 0x7FFFFFFF || grown > static_cast<std::size_t>(-1) / slotBytes) throw std::bad_alloc();
  auto* block = static_cast<Value*>(std::malloc(grown * slotBytes));
  if (!block) throw std::bad_alloc();
  Atom* newAtoms = reinterpret_cast<Atom*>(block + grown);
  if (count_ > 0) {
    std::memcpy(static_cast<void*>(block), values_, count_ * sizeof(Value));
    std::memcpy(newAtoms, atoms(), count_ * sizeof(Atom));
  }
  if (slotsInline()) {
    engine.heap().charge(grown * slotBytes);
  } else {
    std::free(values_);
    engine.heap().charge((grown - capacity_) * slotBytes);
  }
  values_ = block;
  capacity_ = static_cast<std::uint32_t>(grown);
}

std::int32_t PropertyTable::findSlot(Atom atom) const {
  if (atom < 0) return -1;
  const Atom* names = atoms();
  if (!extra_ || extra_->index.empty()) {
    for (std::uint32_t i = 0; i < count_; ++i)
      if (names[i] == atom) return static_cast<std::int32_t>(i);
    return -1;
  }
  const std::vector<std::int32_t>& index = extra_->index;
  const std::uint32_t mask = static_cast<std::uint32_t>(index.size()) - 1;
  for (std::uint32_t h = hashAtom(atom) & mask;; h = (h + 1) & mask) {
    const std::int32_t s = index[h];
    if (s < 0) return -1;
    if (names[s] == atom) return s;
  }
}

PropertyTable* PropertyTable::prototype() const {
  if (protoSlot_ < 0) return nullptr;
  const Value& p = values_[protoSlot_];
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
    if (s >= 0) return &t->values_[s];
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
  values_[s] = v;
}

void PropertyTable::set(Engine& engine, Atom atom, Value v) {
  const std::int32_t found = findSlot(atom);
  if (found >= 0) {
    storeInSlot(engine, static_cast<std::uint32_t>(found), v);
    return;
  }
  if (atom == kAtomProto && !acceptsPrototype(engine, v)) return;
  const std::uint32_t s = takeSlot(engine, atom);
  values_[s] = v;
  if (atom == kAtomProto) protoSlot_ = static_cast<std::int32_t>(s);
}

std::uint32_t PropertyTable::takeSlot(Engine& engine, Atom atom) {
  // Whatever may fail for want of memory comes before the table changes,
  // or is undone: a name half stored would be listed but not found.
  forgetCursor();
  std::uint32_t s;
  if (extra_ && extra_->deleted > 0) {
    // The last deleted slot in slot order takes the new name.
    s = count_;
    while (atoms()[--s] != kDeletedSlot) {}
    atoms()[s] = atom;
    --extra_->deleted;
    try {
      indexSlot(engine, s);
    } catch (...) {
      atoms()[s] = kDeletedSlot;
      ++extra_->deleted;
      throw;
    }
    return s;
  }
  // A table that outgrows its cell tells its prototype how many names it
  // came to, so that the next tables made over it get room enough.
  const std::uint32_t needed = count_ + 1;
  if (needed > inlineRoom_ && needed <= kMaxInlineSlots)
    if (PropertyTable* p = prototype()) {
      Extra& x = p->extra(engine);
      x.instanceRoom = std::max(x.instanceRoom, needed);
    }
  reserve(engine, needed);
  s = count_++;
  atoms()[s] = atom;
  values_[s] = Value::undefined();
  try {
    indexSlot(engine, s);
  } catch (...) {
    --count_;
    throw;
  }
  return s;
}

void PropertyTable::indexSlot(Engine& engine, std::uint32_t s) {
  if ((!extra_ || extra_->index.empty()) && count_ <= kLinearLimit) return;
  Extra& x = extra(engine);
  if (x.index.empty() || (x.indexUsed + 1) * 2 > x.index.size()) {
    const std::size_t before = x.index.capacity();
    rebuildIndex();
    if (x.index.capacity() > before) engine.heap().charge((x.index.capacity() - before) * sizeof(std::int32_t));
    return;
  }
  const std::uint32_t mask = static_cast<std::uint32_t>(x.index.size()) - 1;
  std::uint32_t h = hashAtom(atoms()[s]) & mask;
  while (x.index[h] >= 0) h = (h + 1) & mask;
  x.index[h] = static_cast<std::int32_t>(s);
  ++x.indexUsed;
}

void PropertyTable::rebuildIndex() {
  const Atom* names = atoms();
  std::size_t named = 0;
  for (std::uint32_t s = 0; s < count_; ++s) named += names[s] >= 0;
  const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, named * 4));
  std::vector<std::int32_t>& index = extra_->index;
  index.assign(size, -1);
  const std::uint32_t mask = static_cast<std::uint32_t>(size) - 1;
  for (std::uint32_t s = 0; s < count_; ++s) {
    if (names[s] < 0) continue;
    std::uint32_t h = hashAtom(names[s]) & mask;
    while (index[h] >= 0) h = (h + 1) & mask;
    index[h] = static_cast<std::int32_t>(s);
  }
  extra_->indexUsed = static_cast<std::uint32_t>(named);
}

void PropertyTable::clearSlot(Engine& engine, std::uint32_t s) {
  Extra& x = extra(engine);
  forgetCursor();
  // The slot stays where it is; its index entry goes stale and no longer
  // matches any name.
  atoms()[s] = kDeletedSlot;
  values_[s] = Value::undefined();
  ++x.deleted;
  if (static_cast<std::int32_t>(s) == protoSlot_) protoSlot_ = -1;
}

void PropertyTable::remove(Engine& engine, Atom atom) {
  const std::int32_t s = findSlot(atom);
  if (s >= 0) clearSlot(engine, static_cast<std::uint32_t>(s));
}

bool PropertyTable::getAt(Engine& engine, const Value& key, Value& out) const {
  out = Value::undefined();
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos >= count_ || atoms()[pos] == kDeletedSlot) return false;
    out = values_[pos];
    return true;
  }
  if (key.is(Kind::String)) {
    const auto atom = engine.atoms().find(key.asString()->view());
    const std::int32_t s = atom ? findSlot(*atom) : -1;
    if (s < 0) return false;
    out = values_[s];
    return true;
  }
  return false;
}

void PropertyTable::setAt(Engine& engine, const Value& key, Value v) {
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos >= count_) {
      if (pos >= kMaxSlots) raiseError(engine, "Out of memory");
      reserve(engine, std::size_t{pos} + 1);
      for (std::uint32_t s = count_; s <= pos; ++s) {
        atoms()[s] = kUnnamedSlot;
        values_[s] = Value::undefined();
      }
      count_ = pos + 1;
    }
    storeInSlot(engine, pos, v);
    return;
  }
  if (key.is(Kind::String)) set(engine, engine.intern(key.asString()->view()), v);
}

void PropertyTable::removeAt(Engine& engine, const Value& key) {
  std::uint32_t pos;
  if (positionOf(key, pos)) {
    if (pos < count_ && atoms()[pos] != kDeletedSlot) clearSlot(engine, pos);
    return;
  }
  if (key.is(Kind::String))
    if (const auto atom = engine.atoms().find(key.asString()->view())) remove(engine, *atom);
}

bool PropertyTable::nameAt(Engine& engine, std::uint32_t n, Value& out) const {
  out = Value::undefined();
  const Atom* names = atoms();
  std::int64_t name = -1;
  std::uint32_t s = 0;
  if (extra_ && extra_->cursorName >= 0 && static_cast<std::int64_t>(extra_->cursorName) <= static_cast<std::int64_t>(n)) {
    name = extra_->cursorName;
    s = static_cast<std::uint32_t>(extra_->cursorSlot);
    if (name == n) {
      out = copyString(engine, engine.atoms().name(names[s]));
      return true;
    }
    ++s;
  }
  for (; s < count_; ++s) {
    if (names[s] < 0) continue;
    if (++name == n) {
      // Small tables are walked from the start each step; larger ones
      // remember where the step ended, so that for-in stays linear.
      if (count_ > kLinearLimit) {
        Extra& x = extra(engine);
        x.cursorName = static_cast<std::int32_t>(name);
        x.cursorSlot = static_cast<std::int32_t>(s);
      }
      out = copyString(engine, engine.atoms().name(names[s]));
      return true;
    }
  }
  return false;
}

void PropertyTable::trace(Tracer& t) {
  for (std::uint32_t s = 0; s < count_; ++s) t.mark(values_[s]);
}

std::size_t PropertyTable::byteSize() const {
  std::size_t bytes = cellBytes(inlineRoom_);
  if (!slotsInline()) bytes += std::size_t{capacity_} * (sizeof(Value) + sizeof(Atom));
  if (extra_) bytes += sizeof(Extra) + extra_->index.capacity() * sizeof(std::int32_t);
  return bytes;
}

} // namespace plumex::script
