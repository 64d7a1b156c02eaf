#include "script/values/string_record.h"

#include <algorithm>

#include "script/values/heap.h"
#include "script/values/property_table.h"

namespace plumex::script {

namespace {

// The characters of a dynamic string start right after its record.
std::size_t inlineOffset() { return (sizeof(StringRecord) + alignof(char16_t) - 1) / alignof(char16_t) * alignof(char16_t); }

} // namespace

StringRecord::StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, bool isStatic)
    : storage_(isStatic ? Storage::Static : Storage::Inline), length_(length), chars_(chars), capacity_(capacity) {}

StringRecord::~StringRecord() {
  if (storage_ == Storage::Owned) delete[] chars_;
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

void StringRecord::setUnit(Heap& heap, std::uint32_t index, char16_t unit) {
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

std::size_t StringRecord::byteSize() const {
  switch (storage_) {
    case Storage::Static: return sizeof(*this);
    case Storage::Inline: return inlineOffset() + std::size_t{capacity_} * sizeof(char16_t);
    case Storage::Owned: break;
  }
  return sizeof(*this) + std::size_t{capacity_} * sizeof(char16_t);
}

int compareStrings(std::u16string_view a, std::u16string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace plumex::script
