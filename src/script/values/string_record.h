#pragma once
// A script string: a mutable record shared by every value that refers to
// it. Static strings point at constant text and never change.

#include <cstdint>
#include <string>
#include <string_view>

#include "script/values/cell.h"

namespace plumex::script {

class StringRecord final : public Cell {
public:
  // Longest string the engine builds; a longer result is refused rather
  // than overflowing the 32-bit length or the address space.
  static constexpr std::uint32_t kMaxLength = (1u << 30) - 1;

  // Static: the text belongs to constant data that outlives the engine.
  StringRecord(const char16_t* chars, std::uint32_t length)
      : static_(true), staticChars_(chars), staticLength_(length) {}
  explicit StringRecord(std::u16string text) : text_(std::move(text)) {}

  bool isStatic() const { return static_; }
  std::u16string_view view() const {
    return static_ ? std::u16string_view(staticChars_, staticLength_) : std::u16string_view(text_);
  }
  std::uint32_t length() const {
    return static_ ? staticLength_ : static_cast<std::uint32_t>(text_.size());
  }

  // Dynamic strings only.
  std::u16string& text() { return text_; }

  PropertyTable* table() const { return table_; }
  void setTable(PropertyTable* t) { table_ = t; }

  void trace(Tracer& t) override;
  std::size_t byteSize() const override {
    return sizeof(*this) + (static_ ? 0 : text_.capacity() * sizeof(char16_t));
  }

private:
  bool static_ = false;
  const char16_t* staticChars_ = nullptr;
  std::uint32_t staticLength_ = 0;
  std::u16string text_;
  PropertyTable* table_ = nullptr;
};

// -1, 0 or 1 by unsigned UTF-16 code units, the shorter first on a tie.
int compareStrings(std::u16string_view a, std::u16string_view b);

} // namespace plumex::script
