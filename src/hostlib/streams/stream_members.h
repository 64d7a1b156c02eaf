#pragma once
// The members both stream classes have, first in both their member lists
// and in the same order, and what they do where both do the same.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "binding/arguments.h"
#include "hostlib/streams/byte_io.h"
#include "script/values/engine.h"

namespace plumex::hostlib::streams {

enum SharedMember : int {
  kGet, kGetShort, kGetLong, kGetFloat, kGetDouble, kRead, kReadLine, kPut, kPutShort, kPutFloat,
  kWrite, kWriteLine, kUnget, kFlush, kClose, kReadString, kReadUnicodeString, kWriteString,
  kWriteUnicodeString, kSharedMemberCount
};

inline constexpr std::string_view kSharedMemberNames[kSharedMemberCount] = {
    "get",   "getShort",  "getLong", "getFloat", "getDouble",  "read",       "readLine",
    "put",   "putShort",  "putFloat", "write",   "writeLine",  "unget",      "flush",
    "close", "readString", "readUnicodeString", "writeString", "writeUnicodeString"};

// A class's member names: the shared ones, then its own.
template <std::size_t N>
constexpr std::array<std::string_view, kSharedMemberCount + N> memberNames(const std::string_view (&own)[N]) {
  std::array<std::string_view, kSharedMemberCount + N> names{};
  for (std::size_t i = 0; i < kSharedMemberCount; ++i) names[i] = kSharedMemberNames[i];
  for (std::size_t i = 0; i < N; ++i) names[kSharedMemberCount + i] = own[i];
  return names;
}

// The byte "put" and "unget" take: an Integer's low byte, or the low byte
// of a non-empty String's first unit.
std::optional<std::uint8_t> byteArgument(const binding::Args& args, std::size_t i);

// A position or size a script stores: a non-negative Integer or Float,
// the latter cut to a whole number.
std::optional<std::uint64_t> positionOf(const script::Value& v);

// The open stream of a hook's instance, found again after script code ran
// (a conversion to text may call a script's toString, which may close it).
using StreamOf = ByteIo* (*)(void* self);

// The shared members that give the same results in both classes: the
// typed reads, "read", "readString", "readUnicodeString" and the writes
// but "put". False for the others, which each class answers itself.
// `self` is the hook's instance, whose stream is open.
bool sharedMember(script::Engine& engine, void* self, StreamOf streamOf, int member,
                  const binding::Args& args, script::Value& result);

} // namespace plumex::hostlib::streams
