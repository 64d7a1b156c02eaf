// Our Blowfish, DES and triple DES against libgcrypt's on random keys and
// blocks (native only: libgcrypt is a test dependency, never the
// product's). Weak DES keys are allowed, as our DES takes every key.

#include <gtest/gtest.h>

#include <gcrypt.h>

#include <random>

#include "hostlib/crypto/block.h"
#include "hostlib/crypto/blowfish.h"
#include "hostlib/crypto/des.h"
#include "scratch.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

constexpr int kKeys = 200;
constexpr std::size_t kBlocks = 64;

// libgcrypt's ECB encryption and decryption of whole blocks.
class Gcrypt {
public:
  Gcrypt(int algorithm, std::span<const std::uint8_t> key) {
    EXPECT_EQ(gcry_cipher_open(&handle_, algorithm, GCRY_CIPHER_MODE_ECB, 0), 0u);
    gcry_cipher_ctl(handle_, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
    // An allowed weak key is still reported, and taken.
    const gcry_error_t e = gcry_cipher_setkey(handle_, key.data(), key.size());
    EXPECT_TRUE(e == 0 || gcry_err_code(e) == GPG_ERR_WEAK_KEY) << hexOf(key) << ": " << gcry_strerror(e);
  }
  ~Gcrypt() { gcry_cipher_close(handle_); }
  Gcrypt(const Gcrypt&) = delete;
  Gcrypt& operator=(const Gcrypt&) = delete;

  Bytes encrypt(const Bytes& in) const { return run(in, gcry_cipher_encrypt); }
  Bytes decrypt(const Bytes& in) const { return run(in, gcry_cipher_decrypt); }

private:
  template <class F>
  Bytes run(const Bytes& in, F f) const {
    Bytes out(in.size());
    EXPECT_EQ(f(handle_, out.data(), out.size(), in.data(), in.size()), 0u);
    return out;
  }
  gcry_cipher_hd_t handle_ = nullptr;
};

class Differential : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(gcry_check_version(nullptr));
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  }

  Bytes randomBytes(std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(random_());
    return b;
  }

  // Ours over the same blocks, in both directions.
  template <class Cipher>
  void expectSame(const Cipher& ours, const Gcrypt& theirs, const Bytes& key) {
    const Bytes plain = randomBytes(kBlocks * 8);
    Bytes encrypted(plain.size()), decrypted(plain.size());
    for (std::size_t i = 0; i < plain.size(); i += 8) {
      storeBlock(ours.encrypt(loadBlock(&plain[i])), &encrypted[i]);
      storeBlock(ours.decrypt(loadBlock(&plain[i])), &decrypted[i]);
    }
    EXPECT_EQ(encrypted, theirs.encrypt(plain)) << "key " << hexOf(key);
    EXPECT_EQ(decrypted, theirs.decrypt(plain)) << "key " << hexOf(key);
  }

  std::mt19937 random_{20240611};
};

TEST_F(Differential, BlowfishWithKeysOfEveryLength) {
  for (int i = 0; i < kKeys; ++i) {
    // libgcrypt takes keys of 5 to 56 bytes.
    const Bytes key = randomBytes(5 + static_cast<std::size_t>(i) % 52);
    expectSame(Blowfish(key), Gcrypt(GCRY_CIPHER_BLOWFISH, key), key);
  }
}

TEST_F(Differential, DesWithRandomAndWeakKeys) {
  std::vector<Bytes> keys = {fromHex("0101010101010101"), fromHex("FEFEFEFEFEFEFEFE"), fromHex("E0E0E0E0F1F1F1F1"),
                             fromHex("1F1F1F1F0E0E0E0E"), fromHex("011F011F010E010E"), fromHex("E0FEE0FEF1FEF1FE")};
  for (int i = 0; i < kKeys; ++i) keys.push_back(randomBytes(8));
  for (const Bytes& key : keys)
    expectSame(Des(std::span<const std::uint8_t, 8>(key.data(), 8)), Gcrypt(GCRY_CIPHER_DES, key), key);
}

TEST_F(Differential, TripleDesWithRandomKeys) {
  for (int i = 0; i < kKeys; ++i) {
    Bytes key = randomBytes(24);
    // Now and then two equal keys, which make it single DES.
    if (i % 10 == 0) std::copy(key.begin(), key.begin() + 8, key.begin() + 8);
    expectSame(TripleDes(std::span<const std::uint8_t, 24>(key.data(), 24)), Gcrypt(GCRY_CIPHER_3DES, key), key);
  }
}

} // namespace
} // namespace plumex::hostlib::crypto
