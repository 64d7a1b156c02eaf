#pragma once
// A growable run of Values. Small runs grow with realloc; large ones take
// blocks from the heap, which keeps those of dead arrays for the next
// arrays that grow (see Heap::takeBlock): arrays are mostly filled by
// appending, and a vector's copy into fresh memory made the kernel's page
// handling the larger part of such a loop.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "script/values/heap.h"
#include "script/values/value.h"

namespace plumex::script {

class ValueBuffer {
public:
  static_assert(std::is_trivially_copyable_v<Value>);

  explicit ValueBuffer(Heap& heap) : heap_(heap) {}
  ValueBuffer(const ValueBuffer&) = delete;
  ValueBuffer& operator=(const ValueBuffer&) = delete;
  ~ValueBuffer() { release(); }

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  Value* begin() { return data_; }
  Value* end() { return data_ + size_; }
  const Value* begin() const { return data_; }
  const Value* end() const { return data_ + size_; }
  Value& operator[](std::size_t i) { return data_[i]; }
  const Value& operator[](std::size_t i) const { return data_[i]; }
  Value& back() { return data_[size_ - 1]; }

  void push_back(const Value& v) {
    if (size_ == capacity_) {
      const Value copy = v;  // v may be an element that the growth moves
      grow(size_ + 1);
      data_[size_++] = copy;
      return;
    }
    data_[size_++] = v;
  }
  void pop_back() { --size_; }
  void clear() { size_ = 0; }
  void resize(std::size_t n, const Value& fill = Value{}) {
    if (n > size_) {
      const Value copy = fill;
      if (n > capacity_) grow(n);
      for (std::size_t i = size_; i < n; ++i) data_[i] = copy;
    }
    size_ = n;
  }
  void assign(const Value* first, const Value* last) {
    const auto n = static_cast<std::size_t>(last - first);
    if (n > capacity_) reallocate(n);
    if (n > 0) std::memmove(static_cast<void*>(data_), first, n * sizeof(Value));
    size_ = n;
  }
  // n copies of fill before position at.
  void insert(std::size_t at, std::size_t n, const Value& fill) {
    const Value copy = fill;
    if (size_ + n > capacity_) grow(size_ + n);
    std::memmove(static_cast<void*>(data_ + at + n), data_ + at, (size_ - at) * sizeof(Value));
    for (std::size_t i = at; i < at + n; ++i) data_[i] = copy;
    size_ += n;
  }
  // Removes the elements from first up to last.
  void erase(std::size_t first, std::size_t last) {
    std::memmove(static_cast<void*>(data_ + first), data_ + last, (size_ - last) * sizeof(Value));
    size_ -= last - first;
  }

private:
  // Room for at least n, doubling so that appending stays linear.
  void grow(std::size_t n) {
    std::size_t c = capacity_ < 4 ? 4 : capacity_ * 2;
    if (c < n) c = n;
    reallocate(c);
  }
  bool inBlock() const { return capacity_ * sizeof(Value) >= Heap::kBlockFrom; }
  void reallocate(std::size_t c) {
    if (c > static_cast<std::size_t>(-1) / sizeof(Value)) throw std::bad_alloc();
    std::size_t bytes = c * sizeof(Value);
    if (bytes < Heap::kBlockFrom) {
      void* p = std::realloc(data_, bytes);
      if (!p) throw std::bad_alloc();
      data_ = static_cast<Value*>(p);
      capacity_ = c;
      return;
    }
    auto* block = static_cast<Value*>(heap_.takeBlock(bytes));
    if (size_ > 0) std::memcpy(static_cast<void*>(block), data_, size_ * sizeof(Value));
    release();
    data_ = block;
    capacity_ = bytes / sizeof(Value);
  }
  void release() {
    if (inBlock()) heap_.giveBlock(data_, capacity_ * sizeof(Value));
    else std::free(data_);
  }

  Heap& heap_;
  Value* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

} // namespace plumex::script
