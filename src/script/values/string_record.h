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

  bool isStatic() const { return storage_ == Storage::Static; }
  std::u16string_view view() const { return {chars_, length_}; }
  std::uint32_t length() const { return length_; }

  // Dynamic strings only.
  char16_t* chars() { return const_cast<char16_t*>(chars_); }
  // Sets the unit at `index`, first padding the string with spaces up to
  // it when it lies past the end (index < kMaxLength).
  void setUnit(Heap& heap, std::uint32_t index, char16_t unit);

  PropertyTable* table() const { return table_; }
  void setTable(PropertyTable* t) { table_ = t; }

  void trace(Tracer& t) override;
  std::size_t byteSize() const override;

  // Use make or makeStatic; public only for the heap's construction.
  StringRecord(const char16_t* chars, std::uint32_t length, std::uint32_t capacity, bool isStatic);
  ~StringRecord() override;

private:
  enum class Storage : std::uint8_t { Static, Inline, Owned };
  Storage storage_;
  std::uint32_t length_;
  const char16_t* chars_;  // Owned: from new[]
  std::uint32_t capacity_;  // units chars_ has room for (dynamic strings)
  PropertyTable* table_ = nullptr;
};

// -1, 0 or 1 by unsigned UTF-16 code units, the shorter first on a tie.
int compareStrings(std::u16string_view a, std::u16string_view b);

} // namespace plumex::script
