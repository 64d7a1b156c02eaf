#pragma once
// A server on a script: each receive hands out the next queued chunk (the
// dialogues alternate, so the order of sends and receives is fixed), and
// everything sent is kept. An empty queue reads as a closed connection.

#include <deque>
#include <string>
#include <vector>

#include "hostlib/mail/byte_channel.h"

namespace plumex::test {

class ScriptedChannel final : public hostlib::mail::ByteChannel {
public:
  explicit ScriptedChannel(std::vector<std::string> chunks) : chunks_(chunks.begin(), chunks.end()) {}

  bool sendAll(std::string_view bytes) override {
    sent += bytes;
    return true;
  }
  std::ptrdiff_t receive(char* into, std::size_t size) override {
    if (chunks_.empty()) return 0;
    std::string& next = chunks_.front();
    const std::size_t n = std::min(size, next.size());
    next.copy(into, n);
    next.erase(0, n);
    if (next.empty()) chunks_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }
  std::string failureText() const override { return "scripted failure"; }

  std::string sent;

private:
  std::deque<std::string> chunks_;
};

} // namespace plumex::test
