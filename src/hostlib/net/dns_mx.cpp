#include "hostlib/net/dns_mx.h"

namespace plumex::hostlib::net {
namespace {

constexpr std::uint16_t kTypeMx = 15;
// More jumps than a name of 255 bytes could need: a loop.
constexpr int kMaxPointerJumps = 128;

class Reader {
public:
  explicit Reader(std::span<const std::uint8_t> message) : message_(message) {}

  bool u16(std::size_t& at, std::uint16_t& out) const {
    if (at + 2 > message_.size()) return false;
    out = static_cast<std::uint16_t>(message_[at] << 8 | message_[at + 1]);
    at += 2;
    return true;
  }
  bool skip(std::size_t& at, std::size_t n) const {
    if (n > message_.size() - at) return false;
    at += n;
    return true;
  }

  // The name at `at` (labels joined by "."), with `at` moved past it where
  // it stands (a pointer ends it there).
  bool name(std::size_t& at, std::string* out) const {
    std::string text;
    std::size_t pos = at;
    bool jumped = false;
    std::size_t wire = 0;
    for (int jumps = 0;;) {
      if (pos >= message_.size()) return false;
      const std::uint8_t length = message_[pos];
      if ((length & 0xC0) == 0xC0) {
        if (pos + 2 > message_.size() || ++jumps > kMaxPointerJumps) return false;
        const std::size_t target = static_cast<std::size_t>(length & 0x3F) << 8 | message_[pos + 1];
        if (!jumped) at = pos + 2;
        jumped = true;
        pos = target;
        continue;
      }
      if (length & 0xC0) return false;  // the extended label types
      if (length == 0) {
        if (!jumped) at = pos + 1;
        break;
      }
      if (pos + 1 + length > message_.size()) return false;
      wire += length + 1;
      if (wire > kMaxDnsName) return false;
      if (out) {
        if (!text.empty()) text += '.';
        text.append(reinterpret_cast<const char*>(&message_[pos + 1]), length);
      }
      pos += 1 + length;
    }
    if (out) *out = std::move(text);
    return true;
  }

private:
  std::span<const std::uint8_t> message_;
};

} // namespace

std::optional<std::vector<std::uint8_t>> mxQuery(std::string_view domain) {
  if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  if (domain.empty() || domain.size() > kMaxDnsName - 2) return std::nullopt;
  std::vector<std::uint8_t> q = {0, 0, kMxQueryId >> 8, kMxQueryId & 0xFF, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
  while (!domain.empty()) {
    const std::size_t dot = domain.find('.');
    const std::string_view label = domain.substr(0, dot);
    if (label.empty() || label.size() > 63) return std::nullopt;
    q.push_back(static_cast<std::uint8_t>(label.size()));
    q.insert(q.end(), label.begin(), label.end());
    domain.remove_prefix(dot == std::string_view::npos ? domain.size() : dot + 1);
  }
  q.insert(q.end(), {0, 0, kTypeMx, 0, 1});
  const std::size_t length = q.size() - 2;
  q[0] = static_cast<std::uint8_t>(length >> 8);
  q[1] = static_cast<std::uint8_t>(length & 0xFF);
  return q;
}

std::vector<MxRecord> readMxAnswer(std::span<const std::uint8_t> answer) {
  const Reader r(answer);
  std::size_t at = 4;
  std::uint16_t questions, answers;
  if (!r.u16(at, questions) || !r.u16(at, answers) || !r.skip(at, 4)) return {};
  for (std::uint16_t i = 0; i < questions; ++i)
    if (!r.name(at, nullptr) || !r.skip(at, 4)) return {};
  std::vector<MxRecord> records;
  for (std::uint16_t i = 0; i < answers; ++i) {
    std::uint16_t type, klass, ttlHigh, ttlLow, length;
    if (!r.name(at, nullptr) || !r.u16(at, type) || !r.u16(at, klass) || !r.u16(at, ttlHigh) ||
        !r.u16(at, ttlLow) || !r.u16(at, length))
      return {};
    const std::size_t end = at + length;
    if (end > answer.size()) return {};
    if (type == kTypeMx) {
      MxRecord mx;
      std::size_t in = at;
      if (!r.u16(in, mx.preference) || !r.name(in, &mx.exchange) || in > end) return {};
      records.push_back(std::move(mx));
    }
    at = end;
  }
  return records;
}

} // namespace plumex::hostlib::net
