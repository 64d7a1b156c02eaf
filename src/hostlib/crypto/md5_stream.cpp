#include "hostlib/crypto/md5_stream.h"

#include <vector>

#include <boost/uuid/detail/md5.hpp>

#include "platform/files.h"

namespace plumex::hostlib::crypto {

struct Md5Stream::State {
  boost::uuids::detail::md5 hash;
};

Md5Stream::Md5Stream() : state_(std::make_unique<State>()) {}
Md5Stream::~Md5Stream() = default;

void Md5Stream::update(std::span<const std::uint8_t> bytes) {
  // Boost copies from the pointer even for no bytes, and an empty span's
  // may be null.
  if (bytes.empty()) return;
  state_->hash.process_bytes(bytes.data(), bytes.size());
}

container::Digest Md5Stream::finish() {
  boost::uuids::detail::md5::digest_type words;
  state_->hash.get_digest(words);
  // Boost reverses each word's bytes for its UUIDs, as container::md5
  // notes; put them back in the standard order.
  container::Digest out;
  for (std::size_t w = 0; w < 4; ++w)
    for (std::size_t b = 0; b < 4; ++b) out[w * 4 + b] = static_cast<std::uint8_t>(words[w] >> (24 - 8 * b));
  return out;
}

std::optional<container::Digest> md5OfFile(const std::string& path) {
  InputFile file;
  if (!file.open(path)) return std::nullopt;
  const std::uint64_t size = file.size();
  Md5Stream md5;
  std::vector<std::uint8_t> buffer(64 * 1024);
  std::uint64_t done = 0;
  while (const std::size_t n = file.read(buffer.data(), buffer.size())) {
    md5.update(std::span(buffer).first(n));
    done += n;
  }
  if (done != size) return std::nullopt;
  return md5.finish();
}

std::string toHex(const container::Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(32);
  for (std::uint8_t b : digest) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

} // namespace plumex::hostlib::crypto
