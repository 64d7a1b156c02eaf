#pragma once
// A blocking IPv4 stream connection with 60-second send and receive
// time-outs: what mail transfer runs over. BSD sockets natively, Winsock
// on Windows.

#include <cstdint>
#include <memory>
#include <string>

#include "hostlib/mail/byte_channel.h"

namespace plumex::hostlib::mail {

inline constexpr int kSocketTimeoutMs = 60000;

class BlockingSocket final : public ByteChannel {
public:
  // The server is resolved as a host name first, then read as a dotted
  // address. Nothing when it cannot be resolved or connected.
  static std::unique_ptr<BlockingSocket> connect(const std::string& server, std::uint16_t port);
  ~BlockingSocket() override;
  BlockingSocket(const BlockingSocket&) = delete;
  BlockingSocket& operator=(const BlockingSocket&) = delete;

  bool sendAll(std::string_view bytes) override;
  std::ptrdiff_t receive(char* into, std::size_t size) override;
  std::string failureText() const override;

private:
  explicit BlockingSocket(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
  int lastError_ = 0;
};

// The name the SMTP greeting gives: the local host name, or the dotted
// address of "localhost" when the name cannot be read.
std::string localHostName();

} // namespace plumex::hostlib::mail
