#pragma once
// The conversion routines every part of the engine and every native class
// uses. Those that may fail raise through raiseError.

#include <cstdint>
#include <string_view>

#include "script/values/value.h"

namespace plumex::script {

class ArrayRecord;
class Engine;

inline constexpr int kHintString = 4;
inline constexpr int kHintNumber = 0;

// Always a String value. Booleans and numbers get their fixed texts here;
// arrays and functions ask their kind's class first, so those classes build
// their own text (joinArray) rather than call back into this.
Value toStringValue(Engine& engine, const Value& v);
// Integer, Float or NaN.
Value toNumberValue(Engine& engine, const Value& v);
bool toBoolean(const Value& v);
// Raises "Can't convert to primitive type".
Value toPrimitive(Engine& engine, const Value& v, int hint);
// Raises "Can't convert to object".
Value toObjectValue(Engine& engine, const Value& v);
std::int32_t toInt32(Engine& engine, const Value& v);
std::int64_t toInt64(Engine& engine, const Value& v);

// The number a String's text reads as: "" is 0, "12px" 12, "0x1F" 31,
// "010" 8, "1e3" a Float, text without digits NaN unless it reads as a
// decimal float.
Value numberFromText(std::u16string_view text);

// The elements 0 to length-1 joined by sep: a missing element adds nothing,
// Undefined and Null add "undefined". An array met again inside its own
// join adds nothing, so cycles end.
Value joinArray(Engine& engine, ArrayRecord& array, std::u16string_view sep);
// Joins nested deeper than this raise "stack overflow".
inline constexpr std::size_t kMaxJoinDepth = 1000;

// The text of a String value (empty for other kinds).
std::u16string_view stringText(const Value& v);

} // namespace plumex::script
