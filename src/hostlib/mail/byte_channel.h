#pragma once
// A connection as the mail dialogues use it: whole sends, receives of what
// has arrived, and the system's text for the last failure. The blocking
// socket is one; tests give scripted ones.

#include <cstddef>
#include <string>
#include <string_view>

namespace plumex::hostlib::mail {

class ByteChannel {
public:
  virtual ~ByteChannel() = default;
  // Sends every byte, or fails.
  virtual bool sendAll(std::string_view bytes) = 0;
  // The count of bytes received into `into` (> 0), 0 when the peer closed
  // the connection, -1 on failure (the time-out included).
  virtual std::ptrdiff_t receive(char* into, std::size_t size) = 0;
  // The system's message for the last failure.
  virtual std::string failureText() const = 0;
};

} // namespace plumex::hostlib::mail
