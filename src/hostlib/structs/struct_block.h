#pragma once
// The memory of a structure and the script values its pointer members
// hold. One block is made for each Struct built from a description or
// from bytes; the views of its members share it, and it goes with the
// last of them.

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "script/values/cell.h"
#include "script/values/value.h"

namespace plumex::hostlib::structs {

class StructBlock {
public:
  explicit StructBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::span<std::uint8_t> bytes() { return bytes_; }
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  // What the pointer element at that offset holds; Undefined until set.
  script::Value pointer(std::uint32_t offset) const;
  void setPointer(std::uint32_t offset, const script::Value& v) { pointers_[offset] = v; }

  // Calls f(offset, value) for each pointer element set in [begin, end).
  template <class F>
  void forEachPointer(std::uint32_t begin, std::uint32_t end, F&& f) const {
    for (auto it = pointers_.lower_bound(begin); it != pointers_.end() && it->first < end; ++it)
      f(it->first, it->second);
  }

  // The values stored in pointer members live as long as the structure.
  void mark(script::Tracer& t) const;

private:
  std::vector<std::uint8_t> bytes_;
  // Made on first store: most pointer elements of a structure are never
  // set, and an array of them may be long.
  std::map<std::uint32_t, script::Value> pointers_;
};

// An element of a scalar member (a code below kStructure, no pointer) as
// scripts read it: a Boolean whose payload is the stored word, an Integer
// or a Float.
script::Value readScalar(std::span<const std::uint8_t> at, std::uint32_t code);

// Stores a number (what toNumberValue gave) into a scalar element: integer
// codes take only an Integer (a Boolean member 1 or 0, the others the low
// bytes); float and double take an Integer or a Float and store 0 for
// anything else.
void storeNumber(std::span<std::uint8_t> at, std::uint32_t code, const script::Value& number);

// Single precision, without the undefined conversion of a double beyond
// float's range.
float toFloat(double d);

} // namespace plumex::hostlib::structs
