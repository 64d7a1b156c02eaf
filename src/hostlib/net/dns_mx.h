#pragma once
// The MX lookup's own DNS over TCP: the query a lookup sends and the
// reading of its answer. Answers come from any server a script names, so
// every read is bounded: a damaged answer gives no records.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::net {

inline constexpr std::uint16_t kMxQueryId = 0x4646;
inline constexpr std::size_t kMaxDnsName = 255;

struct MxRecord {
  std::uint16_t preference;
  std::string exchange;
};

// The query for the domain's MX records, with the 2-byte length prefix of
// DNS over TCP; nothing when the domain is no DNS name (an empty label, a
// label over 63 bytes, more than 255 bytes).
std::optional<std::vector<std::uint8_t>> mxQuery(std::string_view domain);

// The MX records of an answer (without its length prefix), in answer
// order; records of other types are passed over by their length. Empty
// for a damaged answer: any read past the end, a name longer than 255
// bytes, a compression pointer loop, a bad label type.
std::vector<MxRecord> readMxAnswer(std::span<const std::uint8_t> answer);

} // namespace plumex::hostlib::net
