#pragma once
// Reading a hook's arguments by position. Missing arguments give the
// caller's default; the typed reads answer nothing for an argument of
// another kind, and the method then gives up with its failure value.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"

namespace plumex::binding {

class Args {
public:
  // A negative count (the array-literal form only the Array class reads)
  // counts as no arguments.
  explicit Args(script::ArgBlock block)
      : block_(block),
        size_(block.count() > 0 ? static_cast<std::size_t>(block.count()) : 0) {}

  std::size_t size() const { return size_; }
  bool has(std::size_t i) const { return i < size_; }
  // Undefined beyond the count.
  const script::Value& operator[](std::size_t i) const;
  std::span<const script::Value> values() const { return {block_.values + 1, size_}; }

  // The argument when it is of that kind.
  const script::Value* ofKind(std::size_t i, script::Kind kind) const {
    return has(i) && (*this)[i].is(kind) ? &(*this)[i] : nullptr;
  }
  std::optional<std::int64_t> integer(std::size_t i) const;
  // A String argument in the ANSI code page.
  std::optional<std::string> text(std::size_t i) const;
  const script::Value* function(std::size_t i) const { return ofKind(i, script::Kind::Function); }
  // The instance data of an open native object of the class held by the
  // global className; null for anything else.
  template <class T>
  T* instance(script::Engine& engine, std::size_t i, std::u16string_view className) const {
    if (!has(i) || !script::isInstanceOf(engine, (*this)[i], className)) return nullptr;
    return static_cast<T*>((*this)[i].asNative()->instance());
  }

  // Converting reads (toInt32, toInt64, toBoolean) with a default for a
  // missing argument.
  std::int32_t int32(script::Engine& engine, std::size_t i, std::int32_t fallback) const;
  std::int64_t int64(script::Engine& engine, std::size_t i, std::int64_t fallback) const;
  bool boolean(std::size_t i, bool fallback) const;

private:
  script::ArgBlock block_;
  std::size_t size_;
};

} // namespace plumex::binding
