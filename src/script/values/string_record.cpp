#include "script/values/string_record.h"

#include <algorithm>

#include "script/values/heap.h"
#include "script/values/property_table.h"

namespace plumex::script {

namespace {

// The characters of a dynamic string start right after its record.
std::size_t inlineOffset() { return (sizeof(StringRecord) + alignof(char16_t) - 1) / alignof(char16_t) * alignof(char16_t); }

// Results at least this long go to shared buffers; shorter ones stay in
// their record's own room, one allocation each.
constexpr std::uint32_t kShareFrom = 64;

// The buffer of Shared strings: units [0, used) are written, and every
// string using it is a prefix of them. Freed with its last string; a
// large one is a block of the heap's (see Heap::takeBlock), so that the
// next string built to that size finds its memory already in place.
struct SharedChars {
  std::uint32_t refs;
  std::uint32_t used;
  Heap* blockOf;  // the heap it came from, or null: from operator new

  char16_t* data() { return reinterpret_cast<char16_t*>(this + 1); }
  static SharedChars* of(const char16_t* chars) {
    return reinterpret_cast<SharedChars*>(const_cast<char16_t*>(chars)) - 1;
  }
  static std::size_t bytes(std::uint32_t capacity) { return sizeof(SharedChars) + std::size_t{capacity} * sizeof(char16_t); }

  // A buffer with room for at least `capacity` units (more when a kept
  // block is larger), which becomes the room it has.
  static SharedChars* make(Heap& heap, std::uint32_t& capacity) {
    std::size_t size = bytes(capacity);
    SharedChars* block;
    if (size < Heap::kBlockFrom) {
      block = static_cast<SharedChars*>(::operator new(size));
      block->blockOf = nullptr;
    } else {
      block = static_cast<SharedChars*>(heap.takeBlock(size));
      block->blockOf = &heap;
      capacity = static_cast<std::uint32_t>(
          std::min<std::size_t>(StringRecord::kMaxLength, (size - sizeof(SharedChars)) / sizeof(char16_t)));
    }
    return block;
  }
  // Drops one string's use; the last one frees the buffer (of `capacity`
  // units, the room make gave).
  static void release(const char16_t* chars, std::uint32_t capacity) {
    SharedChars* block = of(chars);
    if (--block->refs > 0) return;
    if (block->blockOf) block->blockOf->giveBlock(block, bytes(capacity));
    else ::operator delete(block);
  }
};

} // namespace

StringRecord::StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, bool isStatic)
    : storage_(isStatic ? Storage::Static : Storage::Inline), length_(length), chars_(chars), capacity_(capacity) {}

StringRecord::StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, Storage storage)
    : storage_(storage), length_(length), chars_(chars), capacity_(capacity) {}

StringRecord::~StringRecord() {
  if (storage_ == Storage::Owned) delete[] chars_;
  if (storage_ == Storage::Shared) SharedChars::release(chars_, capacity_);
}

StringRecord* StringRecord::concat(Heap& heap, const StringRecord& a, std::u16string_view b) {
  const std::uint32_t total = a.length_ + static_cast<std::uint32_t>(b.size());
  if (a.storage_ == Storage::Shared) {
    SharedChars* block = SharedChars::of(a.chars_);
    if (block->used == a.length_ && a.capacity_ - block->used >= b.size()) {
      // Nothing past a's units yet: b goes there, seen only by the result.
      std::copy(b.begin(), b.end(), block->data() + block->used);
      StringRecord* s = heap.make<StringRecord>(block->data(), total, a.capacity_, Storage::Shared);
      block->used = total;
      ++block->refs;
      return s;
    }
  }
  if (total < kShareFrom) return nullptr;
  // A string that is being built (the end of its buffer, out of room) gets
  // room to double, so that appending again and again copies each unit a
  // bounded number of times; any other result (a prefix joined to many
  // different texts, say) takes only what it holds.
  const bool growing = a.storage_ == Storage::Shared && SharedChars::of(a.chars_)->used == a.length_;
  auto capacity = growing
      ? static_cast<std::uint32_t>(std::min<std::uint64_t>(kMaxLength, std::uint64_t{total} * 2))
      : total;
  SharedChars* block = SharedChars::make(heap, capacity);
  block->refs = 1;
  block->used = total;
  std::copy(b.begin(), b.end(), std::copy_n(a.chars_, a.length_, block->data()));
  StringRecord* s;
  try {
    s = heap.make<StringRecord>(block->data(), total, capacity, Storage::Shared);
  } catch (...) {
    SharedChars::release(block->data(), capacity);
    throw;
  }
  heap.charge(SharedChars::bytes(capacity));
  return s;
}

void StringRecord::unshare(Heap& heap) {
  // Its own units, as many as it holds: the shared buffer's room was for
  // the string being built, not for this one.
  auto* own = new char16_t[std::max<std::uint32_t>(1, length_)];
  std::copy_n(chars_, length_, own);
  SharedChars::release(chars_, capacity_);
  chars_ = own;
  capacity_ = std::max<std::uint32_t>(1, length_);
  storage_ = Storage::Owned;
  heap.charge(std::size_t{capacity_} * sizeof(char16_t));
}

StringRecord* StringRecord::makeStatic(Heap& heap, const char16_t* chars, std::uint32_t length) {
  return heap.make<StringRecord>(chars, length, length, true);
}

StringRecord* StringRecord::make(Heap& heap, std::uint32_t length) {
  const std::size_t offset = inlineOffset();
  std::size_t bytes = offset + std::size_t{length} * sizeof(char16_t);
  // Small cells round up to the heap's granule: the rest is room to grow.
  if (bytes <= Heap::kLargestPooled) bytes = (bytes + Heap::kGranule - 1) / Heap::kGranule * Heap::kGranule;
  const auto capacity = static_cast<std::uint32_t>((bytes - offset) / sizeof(char16_t));
  // The record is built before its address is known: point it at its
  // inline room afterwards.
  StringRecord* s = heap.makeSized<StringRecord>(bytes, nullptr, length, capacity, false);
  s->chars_ = reinterpret_cast<const char16_t*>(reinterpret_cast<const std::byte*>(s) + offset);
  return s;
}

StringRecord::TextFacts StringRecord::facts() const {
  constexpr std::uint32_t kKnown = 1u << 31, kAscii = 1u << 30, kPosition = kAscii - 1;
  if (!(facts_ & kKnown)) {
    std::uint32_t i = 0;
    bool ascii = true;
    for (; i < length_ && chars_[i] != u'\0'; ++i) ascii = ascii && chars_[i] < 0x80;
    facts_ = kKnown | (ascii ? kAscii : 0) | i;
  }
  return {facts_ & kPosition, (facts_ & kAscii) != 0};
}

void StringRecord::setUnit(Heap& heap, std::uint32_t index, char16_t unit) {
  facts_ = 0;
  // Other strings read the shared units: this one changes its own.
  if (storage_ == Storage::Shared) unshare(heap);
  if (index >= length_) {
    if (index >= capacity_) {
      const auto capacity = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(kMaxLength, std::max<std::uint64_t>(index + 1, std::uint64_t{capacity_} * 2)));
      auto* grown = new char16_t[capacity];
      std::copy_n(chars_, length_, grown);
      heap.charge((capacity - (storage_ == Storage::Owned ? capacity_ : 0)) * sizeof(char16_t));
      if (storage_ == Storage::Owned) delete[] chars_;
      chars_ = grown;
      capacity_ = capacity;
      storage_ = Storage::Owned;
    }
    std::fill(chars() + length_, chars() + index, u' ');
    length_ = index + 1;
  }
  chars()[index] = unit;
}

void StringRecord::trace(Tracer& t) { t.mark(table_); }

void Tracer::markString(void* record) {
  auto* s = static_cast<StringRecord*>(record);
  if (s->marked_) return;
  s->marked_ = true;
  mark(s->table());
}

std::size_t StringRecord::byteSize() const {
  switch (storage_) {
    case Storage::Static: return sizeof(*this);
    case Storage::Inline: return inlineOffset() + std::size_t{capacity_} * sizeof(char16_t);
    case Storage::Owned: break;
    case Storage::Shared:
      // Each string counts its part of the buffer, so that the buffer
      // counts once in all.
      return sizeof(*this) + SharedChars::bytes(capacity_) / std::max<std::uint32_t>(1, SharedChars::of(chars_)->refs);
  }
  return sizeof(*this) + std::size_t{capacity_} * sizeof(char16_t);
}

int compareStrings(std::u16string_view a, std::u16string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace plumex::script
