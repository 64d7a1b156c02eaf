// SHA-256 and HMAC-SHA-256 against their published test vectors.

#include <gtest/gtest.h>

#include <string>

#include "container/byte_io.h"
#include "container/sha256.h"

namespace plumex::container {
namespace {

std::string hex(const Sha256Digest& d) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::uint8_t b : d) s += {kDigits[b >> 4], kDigits[b & 15]};
  return s;
}

TEST(Sha256, MatchesTheStandardsVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 20));
    EXPECT_EQ(hex(sha256(asBytes(c.message))), c.digest);
  }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
  std::string message;
  for (int i = 0; i < 200; ++i) message.push_back(static_cast<char>(i * 7));
  const Sha256Digest whole = sha256(asBytes(message));
  for (std::size_t cut = 0; cut <= message.size(); cut += 13) {
    Sha256 h;
    h.update(asBytes(std::string_view(message).substr(0, cut)));
    h.update(asBytes(std::string_view(message).substr(cut)));
    EXPECT_EQ(h.finish(), whole) << cut;
  }
}

TEST(HmacSha256, MatchesTheRfcVectors) {
  struct Case {
    std::string key, message;
    const char* mac;
  };
  const Case cases[] = {
      {std::string(20, '\x0b'), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      // A key longer than a block is hashed first.
      {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(hex(HmacSha256(asBytes(c.key)).update(asBytes(c.message)).finish()), c.mac);
  }
}

} // namespace
} // namespace plumex::container
