#pragma once
// MD5 fed in pieces, for data that is never in memory at once (files, the
// file cipher's check). The same implementation as container::md5.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "container/digest.h"

namespace plumex::hostlib::crypto {

class Md5Stream {
public:
  Md5Stream();
  ~Md5Stream();
  Md5Stream(const Md5Stream&) = delete;
  Md5Stream& operator=(const Md5Stream&) = delete;

  void update(std::span<const std::uint8_t> bytes);
  // The digest of everything given; the stream is spent afterwards.
  container::Digest finish();

private:
  struct State;
  std::unique_ptr<State> state_;
};

// The digest of a file's bytes, read in bounded pieces; nothing when it
// cannot be opened or read to its end.
std::optional<container::Digest> md5OfFile(const std::string& path);

// 32 lower-case hexadecimal digits.
std::string toHex(const container::Digest& digest);

} // namespace plumex::hostlib::crypto
