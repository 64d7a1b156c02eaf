#pragma once
// A sparse array with a 64-bit length. Elements from index 0 up live in a
// dense vector (a hole marks a missing one); elements far beyond it live
// in an ordered map. Every index is in exactly one of the two, and every
// map key is at least the vector's size.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "script/values/cell.h"
#include "script/values/value_buffer.h"

namespace plumex::script {

class Heap;

class ArrayRecord final : public Cell {
public:
  explicit ArrayRecord(Heap& heap) : dense_(heap) {}

  // Callers (the operators and the Array methods) keep `length`; only
  // removeShift and offset change it here.
  std::uint64_t length = 0;
  PropertyTable* table = nullptr;

  // The stored element, or null when the index holds none. The pointer
  // stays valid until the next change to the array.
  Value* get(std::uint64_t index);
  const Value* get(std::uint64_t index) const;
  // The value is taken by copy: it may be an element that the store moves.
  void set(Heap& heap, std::uint64_t index, Value v);
  // A store into the dense part, which changes neither the storage nor the
  // length (the virtual machine's fast path); false beyond it.
  bool storeDense(std::uint64_t index, const Value& v) {
    if (index >= dense_.size()) return false;
    dense_[static_cast<std::size_t>(index)] = v;
    return true;
  }
  // Removes the element at index, if stored.
  void remove(Heap& heap, std::uint64_t index);
  // Removes every element at or beyond start.
  void removeFrom(Heap& heap, std::uint64_t start);
  // When index < length: removes that element, moves every higher one down
  // by one and shortens the length by one.
  void removeShift(Heap& heap, std::uint64_t index);
  // Adds delta (wrapping) to every index and to the length.
  void offset(Heap& heap, std::int32_t delta);
  // Stores every element of source at its index + offset.
  void appendFrom(Heap& heap, const ArrayRecord& source, std::uint64_t offset);
  // The stored elements in ascending index order. The copies are no roots:
  // before running script, keep them where the collector sees them.
  std::vector<Value> collect() const;
  // Replaces the stored elements by values at 0, 1, ...
  void renumber(Heap& heap, std::span<const Value> values);
  std::size_t storedCount() const;
  // The lowest stored index at or above from.
  std::optional<std::uint64_t> nextIndex(std::uint64_t from) const;

  // Visits stored elements in ascending index order; visit must not change
  // the array.
  template <class Visit>
  void forEach(Visit&& visit) const {
    for (std::size_t i = 0; i < dense_.size(); ++i)
      if (!dense_[i].is(Kind::Hole)) visit(static_cast<std::uint64_t>(i), dense_[i]);
    for (const auto& [index, v] : sparse_) visit(index, v);
  }

  void trace(Tracer& t) override;
  std::size_t byteSize() const override;

private:
  // Bytes a map element costs, its node included.
  static constexpr std::size_t kSparseNodeBytes = 64;

  void absorbSparse();
  void place(std::uint64_t index, const Value& v);
  void rebuild(std::vector<std::pair<std::uint64_t, Value>> entries);
  void settle(Heap& heap, std::size_t bytesBefore);

  ValueBuffer dense_;
  std::map<std::uint64_t, Value> sparse_;
};

} // namespace plumex::script
