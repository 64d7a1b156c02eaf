#pragma once
// The raw ping's ICMP echo: the 44-byte request and the reading of what
// comes back on the raw socket (an IP header first). Datagrams come from
// the network: short ones, other types and other pings' replies are not
// taken as replies.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace plumex::hostlib::net {

inline constexpr std::size_t kEchoRequestSize = 44;

// Type 8, code 0, the Internet checksum, identifier, sequence number,
// the sender's tick count, then 32 bytes valued 32 to 63. The numbers are
// in the machine's order, as the reply echoes them.
std::array<std::uint8_t, kEchoRequestSize> echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                                       std::uint32_t ticks);

// The Internet checksum (RFC 1071) of the bytes.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

struct EchoReply {
  std::uint8_t ttl;
  std::uint32_t ticks;  // the tick count the request carried
};

// The reply to our request `sequence`, when the datagram is one: its IP
// header's length taken from the header, an ICMP echo reply (type 0) with
// our identifier and sequence number and room for the tick count.
std::optional<EchoReply> readEchoReply(std::span<const std::uint8_t> datagram, std::uint16_t identifier,
                                       std::uint16_t sequence);

} // namespace plumex::hostlib::net
