#include "script/values/array_record.h"

#include <algorithm>

#include "script/values/heap.h"
#include "script/values/property_table.h"

namespace plumex::script {
namespace {

const Value kHole = Value::make(Kind::Hole);

// Whether storing at index should grow the dense vector rather than use
// the map: keep the vector at least half full.
bool denseReach(std::size_t denseSize, std::uint64_t index) {
  return index <= denseSize * 2 + 8;
}

} // namespace

Value* ArrayRecord::get(std::uint64_t index) {
  return const_cast<Value*>(static_cast<const ArrayRecord*>(this)->get(index));
}

const Value* ArrayRecord::get(std::uint64_t index) const {
  if (index < dense_.size()) {
    const Value& v = dense_[static_cast<std::size_t>(index)];
    return v.is(Kind::Hole) ? nullptr : &v;
  }
  if (sparse_.empty()) return nullptr;
  auto it = sparse_.find(index);
  return it == sparse_.end() ? nullptr : &it->second;
}

void ArrayRecord::set(Heap& heap, std::uint64_t index, Value v) {
  if (index < dense_.size()) {
    dense_[static_cast<std::size_t>(index)] = v;
    return;
  }
  const std::size_t before = byteSize();
  if (index == dense_.size() && sparse_.empty()) {
    // Appending, the way arrays are mostly filled: only a grown vector
    // changes what the array holds.
    const std::size_t capacity = dense_.capacity();
    dense_.push_back(v);
    if (dense_.capacity() != capacity) settle(heap, before);
    return;
  }
  place(index, v);
  settle(heap, before);
}

void ArrayRecord::place(std::uint64_t index, const Value& v) {
  if (index < dense_.size()) {
    dense_[static_cast<std::size_t>(index)] = v;
  } else if (denseReach(dense_.size(), index)) {
    dense_.resize(static_cast<std::size_t>(index) + 1, kHole);
    absorbSparse();
    dense_[static_cast<std::size_t>(index)] = v;
  } else {
    sparse_[index] = v;
  }
}

void ArrayRecord::absorbSparse() {
  while (!sparse_.empty() && sparse_.begin()->first <= dense_.size()) {
    auto node = sparse_.extract(sparse_.begin());
    const auto index = static_cast<std::size_t>(node.key());
    if (index >= dense_.size()) dense_.resize(index + 1, kHole);
    dense_[index] = node.mapped();
  }
}

void ArrayRecord::remove(Heap& heap, std::uint64_t index) {
  const std::size_t before = byteSize();
  if (index < dense_.size()) {
    dense_[static_cast<std::size_t>(index)] = kHole;
    while (!dense_.empty() && dense_.back().is(Kind::Hole)) dense_.pop_back();
  } else {
    sparse_.erase(index);
  }
  settle(heap, before);
}

void ArrayRecord::removeFrom(Heap& heap, std::uint64_t start) {
  const std::size_t before = byteSize();
  sparse_.erase(sparse_.lower_bound(start), sparse_.end());
  if (start < dense_.size()) dense_.resize(static_cast<std::size_t>(start));
  while (!dense_.empty() && dense_.back().is(Kind::Hole)) dense_.pop_back();
  settle(heap, before);
}

void ArrayRecord::removeShift(Heap& heap, std::uint64_t index) {
  if (index >= length) return;
  const std::size_t before = byteSize();
  if (index < dense_.size()) {
    dense_.erase(static_cast<std::size_t>(index), static_cast<std::size_t>(index) + 1);
  } else {
    sparse_.erase(index);
  }
  // Every map key above index moves down by one; the order stays.
  std::vector<decltype(sparse_)::node_type> moved;
  for (auto it = sparse_.upper_bound(index); it != sparse_.end();)
    moved.push_back(sparse_.extract(it++));
  for (auto& node : moved) {
    node.key() -= 1;
    sparse_.insert(sparse_.end(), std::move(node));
  }
  absorbSparse();
  --length;
  settle(heap, before);
}

void ArrayRecord::offset(Heap& heap, std::int32_t delta) {
  const auto shift = static_cast<std::uint64_t>(static_cast<std::int64_t>(delta));
  length += shift;
  if (delta == 0 || (dense_.empty() && sparse_.empty())) return;
  const std::size_t before = byteSize();
  const std::size_t n = delta > 0 ? static_cast<std::size_t>(delta)
                                  : static_cast<std::size_t>(-static_cast<std::int64_t>(delta));
  if (sparse_.empty() && delta > 0 && denseReach(dense_.size(), dense_.size() + n)) {
    dense_.insert(0, n, kHole);
  } else if (sparse_.empty() && delta < 0 && n <= dense_.size() &&
             std::all_of(dense_.begin(), dense_.begin() + static_cast<std::ptrdiff_t>(n),
                         [](const Value& v) { return v.is(Kind::Hole); })) {
    dense_.erase(0, n);
  } else {
    std::vector<std::pair<std::uint64_t, Value>> entries;
    forEach([&](std::uint64_t i, const Value& v) { entries.emplace_back(i + shift, v); });
    rebuild(std::move(entries));
  }
  settle(heap, before);
}

void ArrayRecord::rebuild(std::vector<std::pair<std::uint64_t, Value>> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  dense_.clear();
  sparse_.clear();
  for (const auto& [i, v] : entries) place(i, v);
}

void ArrayRecord::appendFrom(Heap& heap, const ArrayRecord& source, std::uint64_t offset) {
  if (&source == this) {
    const std::vector<Value> values = collect();
    std::vector<std::uint64_t> indices;
    forEach([&](std::uint64_t i, const Value&) { indices.push_back(i); });
    for (std::size_t k = 0; k < values.size(); ++k) set(heap, indices[k] + offset, values[k]);
    return;
  }
  source.forEach([&](std::uint64_t i, const Value& v) { set(heap, i + offset, v); });
}

std::vector<Value> ArrayRecord::collect() const {
  std::vector<Value> out;
  out.reserve(storedCount());
  forEach([&](std::uint64_t, const Value& v) { out.push_back(v); });
  return out;
}

void ArrayRecord::renumber(Heap& heap, std::span<const Value> values) {
  const std::size_t before = byteSize();
  sparse_.clear();
  dense_.assign(values.data(), values.data() + values.size());
  settle(heap, before);
}

std::size_t ArrayRecord::storedCount() const {
  std::size_t n = sparse_.size();
  for (const Value& v : dense_) n += !v.is(Kind::Hole);
  return n;
}

std::optional<std::uint64_t> ArrayRecord::nextIndex(std::uint64_t from) const {
  for (std::uint64_t i = from; i < dense_.size(); ++i)
    if (!dense_[static_cast<std::size_t>(i)].is(Kind::Hole)) return i;
  auto it = sparse_.lower_bound(from);
  if (it == sparse_.end()) return std::nullopt;
  return it->first;
}

void ArrayRecord::trace(Tracer& t) {
  t.mark(table);
  for (const Value& v : dense_) t.mark(v);
  for (const auto& [index, v] : sparse_) t.mark(v);
}

std::size_t ArrayRecord::byteSize() const {
  return sizeof(*this) + dense_.capacity() * sizeof(Value) + sparse_.size() * kSparseNodeBytes;
}

void ArrayRecord::settle(Heap& heap, std::size_t bytesBefore) {
  const std::size_t after = byteSize();
  if (after > bytesBefore) heap.charge(after - bytesBefore);
  else heap.credit(bytesBefore - after);
}

} // namespace plumex::script
