#pragma once
// A script string: a mutable record shared by every value that refers to
// it. Static strings point at constant text and never change. A dynamic
// string keeps its characters in its own cell, so making one is a single
// allocation; a string that grows past that room moves them to a buffer
// of its own.

#include <cstdint>
#include <string_view>

#include "script/values/cell.h"

namespace plumex::script {

class Heap;
class PropertyTable;

class StringRecord final : public Cell {
public:
  // Longest string the engine builds; a longer result is refused rather
  // than overflowing the 32-bit length or the address space.
  static constexpr std::uint32_t kMaxLength = (1u << 30) - 1;

  // A static string over constant data that outlives the engine.
  static StringRecord* makeStatic(Heap& heap, const char16_t* chars, std::uint32_t length);
  // A dynamic string of `length` units, to be written through chars()
  // before anything else can see it.
  static StringRecord* make(Heap& heap, std::uint32_t length);
  // a followed by b (at most kMaxLength units), or null when both are short
  // enough for make's inline room (the caller makes that). Long results
  // keep their units in a buffer shared with the strings made from them,
  // with room to grow once they are appended to: when a's buffer has room after a's units and
  // nothing was appended there yet, b goes there and only a new record is
  // made, so a string built piece by piece costs what its pieces cost.
  // Every string sharing a buffer sees its own units only; writing a unit
  // first gives the string units of its own.
  static StringRecord* concat(Heap& heap, const StringRecord& a, std::u16string_view b);

  bool isStatic() const { return storage_ == Storage::Static; }
  std::u16string_view view() const { return {chars_, length_}; }
  std::uint32_t length() const { return length_; }

  // Dynamic strings only.
  char16_t* chars() { return const_cast<char16_t*>(chars_); }
  // Sets the unit at `index`, first padding the string with spaces up to
  // it when it lies past the end (index < kMaxLength).
  void setUnit(Heap& heap, std::uint32_t index, char16_t unit);

  // What searches need to know of the text, found by one pass on first
  // need and forgotten when a unit changes: where its first NUL is (the
  // length when it has none) and whether every unit before that is ASCII.
  struct TextFacts {
    std::uint32_t firstNul;
    bool asciiBeforeNul;
  };
  TextFacts facts() const;

  PropertyTable* table() const { return table_; }
  void setTable(PropertyTable* t) { table_ = t; }

  void trace(Tracer& t) override;
  std::size_t byteSize() const override;

  enum class Storage : std::uint8_t { Static, Inline, Owned, Shared };
  // Use make, makeStatic or concat; public only for the heap's
  // construction.
  StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, bool isStatic);
  StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, Storage storage);
  ~StringRecord() override;

private:
  // Shared: gives the units a buffer of the string's own.
  void unshare(Heap& heap);

  Storage storage_;
  std::uint32_t length_;
  const char16_t* chars_;  // Owned: from new[]
  std::uint32_t capacity_;  // units chars_ has room for (dynamic strings; Shared: the buffer)
  // TextFacts packed into the word the layout leaves free: bit 31 known,
  // bit 30 asciiBeforeNul, bits 0-29 firstNul (lengths stay below 2^30).
  mutable std::uint32_t facts_ = 0;
  PropertyTable* table_ = nullptr;
};

// -1, 0 or 1 by unsigned UTF-16 code units, the shorter first on a tie.
int compareStrings(std::u16string_view a, std::u16string_view b);

} // namespace plumex::script
