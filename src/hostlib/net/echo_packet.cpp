#include "hostlib/net/echo_packet.h"

#include <cstring>

namespace plumex::hostlib::net {
namespace {

template <class T>
void put(std::uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}
template <class T>
T get(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

} // namespace

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  // Words as they lie in memory: the sum then lies in memory the same way.
  for (; i + 1 < bytes.size(); i += 2) sum += get<std::uint16_t>(&bytes[i]);
  if (i < bytes.size()) sum += bytes[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

std::array<std::uint8_t, kEchoRequestSize> echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                                       std::uint32_t ticks) {
  std::array<std::uint8_t, kEchoRequestSize> r{};
  r[0] = 8;
  put(&r[4], identifier);
  put(&r[6], sequence);
  put(&r[8], ticks);
  for (std::size_t i = 0; i < 32; ++i) r[12 + i] = static_cast<std::uint8_t>(32 + i);
  put(&r[2], internetChecksum(r));
  return r;
}

std::optional<EchoReply> readEchoReply(std::span<const std::uint8_t> datagram, std::uint16_t identifier,
                                       std::uint16_t sequence) {
  if (datagram.size() < 20) return std::nullopt;
  const std::size_t header = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
  if (header < 20 || datagram.size() < header + 12) return std::nullopt;
  const std::uint8_t* icmp = &datagram[header];
  if (icmp[0] != 0 || get<std::uint16_t>(icmp + 4) != identifier || get<std::uint16_t>(icmp + 6) != sequence)
    return std::nullopt;
  return EchoReply{datagram[8], get<std::uint32_t>(icmp + 8)};
}

} // namespace plumex::hostlib::net
