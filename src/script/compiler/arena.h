#pragma once
// A bump allocator for one compilation: tokens' texts and syntax nodes live
// here and go away together when the compilation ends. Everything placed in
// it must be trivially destructible.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace plumex::script::compiler {

// A literal or name text: `size` bytes, followed by a NUL that is not
// counted, so a text may hold NUL bytes of its own.
struct Text {
  const char* data = nullptr;
  std::uint32_t size = 0;

  bool empty() const { return size == 0; }
  explicit operator bool() const { return data != nullptr; }
  std::string_view view() const { return data ? std::string_view(data, size) : std::string_view(); }
};

class Arena {
public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  Arena(Arena&&) = default;
  Arena& operator=(Arena&&) = default;

  void* allocate(std::size_t size, std::size_t align) {
    std::size_t at = (used_ + align - 1) & ~(align - 1);
    if (chunks_.empty() || at + size > capacity_) {
      grow(size + align);
      at = (used_ + align - 1) & ~(align - 1);
    }
    used_ = at + size;
    return chunks_.back().get() + at;
  }

  template <class T, class... Args>
  T* make(Args&&... args) {
    static_assert(std::is_trivially_destructible_v<T>, "the arena runs no destructors");
    return new (allocate(sizeof(T), alignof(T))) T{std::forward<Args>(args)...};
  }

  Text copy(std::string_view s) {
    char* p = static_cast<char*>(allocate(s.size() + 1, 1));
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\0';
    return Text{p, static_cast<std::uint32_t>(s.size())};
  }

  std::size_t bytesReserved() const { return reserved_; }

private:
  static constexpr std::size_t kChunk = 64 * 1024;

  void grow(std::size_t atLeast) {
    const std::size_t size = atLeast > kChunk ? atLeast : kChunk;
    chunks_.emplace_back(new char[size]);
    capacity_ = size;
    used_ = 0;
    reserved_ += size;
  }

  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  std::size_t reserved_ = 0;
};

} // namespace plumex::script::compiler
