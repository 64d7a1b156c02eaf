#pragma once
// Indexing of arrays and strings by the operators (o[k] and o[k] = v).
// Reads and writes map keys to indices the same way.

#include <cstdint>
#include <optional>

#include "script/values/value.h"

namespace plumex::script {

class ArrayRecord;
class Engine;
class StringRecord;

// The element index of a key: an Integer, or a Float truncated toward zero,
// from 0 to 2^32-1.
std::optional<std::uint64_t> arrayIndexOf(const Value& key);

// Missing elements and indices at or beyond the length read Undefined;
// other keys warn "invalid index for operator []".
Value readArrayElement(Engine& engine, const ArrayRecord& array, const Value& key);
// A write at or beyond the length makes the length index + 1.
void writeArrayElement(Engine& engine, ArrayRecord& array, const Value& key, const Value& v);

// The UTF-16 code unit at an Integer index, as an Integer.
Value readStringElement(Engine& engine, const StringRecord& s, const Value& key);
// Stores a code unit (the low 8 bits of an Integer, or the first unit of a
// String), first extending the string with spaces up to the index. The
// write is seen through every value sharing the record.
void writeStringElement(Engine& engine, StringRecord& s, const Value& key, const Value& v);

} // namespace plumex::script
