// The file cipher: exact lengths, refusals that write nothing, the target
// replaced only when complete, and the digest of files.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "container/digest.h"
#include "hostlib/crypto/file_cipher.h"
#include "hostlib/crypto/md5_stream.h"
#include "scratch.h"

namespace plumex::hostlib::crypto {
namespace {

using namespace testing;

Bytes randomBytes(std::size_t n, std::mt19937& random) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(random());
  return b;
}

constexpr FileSalt kSalt = {9, 8, 7, 6, 5, 4, 3, 2};
constexpr std::size_t kOverhead = 48;  // header and HMAC

class FileCipher : public ScratchTest {};

TEST_F(FileCipher, RoundTripsEveryLengthExactly) {
  std::mt19937 random(1);
  // Around the block size and around the 64 KiB pieces files are read in.
  for (std::size_t n : {0, 1, 7, 8, 9, 65535, 65536, 65537, 3 * 65536 + 5}) {
    const Bytes plain = randomBytes(n, random);
    writeBytes(path("plain"), plain);
    ASSERT_TRUE(encryptFile("key", path("plain"), path("sealed"), kSalt)) << n;
    const Bytes sealed = readBytes(path("sealed"));
    EXPECT_EQ(sealed.size(), n + kOverhead) << n;
    ASSERT_TRUE(decryptFile("key", path("sealed"), path("opened"))) << n;
    EXPECT_EQ(readBytes(path("opened")), plain) << n;
    EXPECT_EQ(listing(), (std::vector<std::string>{"opened", "plain", "sealed"})) << "nothing left behind at " << n;
  }
}

// The in-memory form is the same file, byte for byte, both ways; a
// changed byte anywhere, another key or a cut file give nothing.
TEST_F(FileCipher, InMemoryFormIsTheSameFile) {
  std::mt19937 random(2);
  for (std::size_t n : {0, 1, 9, 65537, 3 * 65536 + 5}) {
    const Bytes plain = randomBytes(n, random);
    writeBytes(path("plain"), plain);
    ASSERT_TRUE(encryptFile("key", path("plain"), path("sealed"), kSalt));
    const Bytes sealed = readBytes(path("sealed"));
    EXPECT_EQ(encryptBytes("key", plain, kSalt), sealed) << n;
    EXPECT_EQ(decryptBytes("key", sealed), plain) << n;
  }
  const Bytes sealed = encryptBytes("key", Bytes{1, 2, 3, 4, 5}, kSalt);
  for (std::size_t i = 0; i < sealed.size(); ++i) {
    Bytes changed = sealed;
    changed[i] ^= 0x01;
    EXPECT_FALSE(decryptBytes("key", changed)) << "byte " << i;
  }
  EXPECT_FALSE(decryptBytes("other", sealed));
  EXPECT_FALSE(decryptBytes("key", std::span(sealed).first(sealed.size() - 1)));
  EXPECT_FALSE(decryptBytes("key", Bytes{}));
}

TEST_F(FileCipher, EachSaltGivesItsOwnStream) {
  writeBytes(path("plain"), Bytes(64, 0));
  ASSERT_TRUE(encryptFile("key", path("plain"), path("a"), kSalt));
  ASSERT_TRUE(encryptFile("key", path("plain"), path("b"), FileSalt{1}));
  const Bytes a = readBytes(path("a")), b = readBytes(path("b"));
  EXPECT_FALSE(std::equal(a.begin() + 32, a.end() - 16, b.begin() + 32));
  // Zeros enciphered are the stream itself: its blocks differ from each other.
  EXPECT_FALSE(std::equal(a.begin() + 32, a.begin() + 40, a.begin() + 40));
}

TEST_F(FileCipher, RefusesWhatItCannotReadAndWritesNothing) {
  std::mt19937 random(2);
  const Bytes plain = randomBytes(1000, random);
  writeBytes(path("plain"), plain);
  ASSERT_TRUE(encryptFile("key", path("plain"), path("sealed"), kSalt));
  const Bytes sealed = readBytes(path("sealed"));

  struct Case {
    const char* what;
    Bytes file;
    const char* key = "key";
  };
  Bytes flippedBody = sealed, flippedTag = sealed, longer = sealed, lengthChanged = sealed, otherVersion = sealed;
  flippedBody[500] ^= 1;
  flippedTag.back() ^= 0x80;
  longer.push_back(0);
  lengthChanged[16] ^= 1;
  otherVersion[4] = 2;
  const Case cases[] = {
      {"another key", sealed, "kez"},
      {"an empty key", sealed, ""},
      {"a foreign file", randomBytes(1048, random)},
      {"an empty file", {}},
      {"only a header", Bytes(sealed.begin(), sealed.begin() + 32)},
      {"cut short", Bytes(sealed.begin(), sealed.end() - 1)},
      {"a byte longer", longer},
      {"a changed byte", flippedBody},
      {"a changed HMAC", flippedTag},
      {"a changed length", lengthChanged},
      {"another version", otherVersion},
  };
  for (const Case& c : cases) {
    writeBytes(path("input"), c.file);
    EXPECT_FALSE(decryptFile(c.key, path("input"), path("absent"))) << c.what;
    writeBytes(path("present"), bytesOf("as it was"));
    EXPECT_FALSE(decryptFile(c.key, path("input"), path("present"))) << c.what;
    EXPECT_EQ(readBytes(path("present")), bytesOf("as it was")) << c.what;
    EXPECT_EQ(listing(), (std::vector<std::string>{"input", "plain", "present", "sealed"})) << c.what;
  }
}

TEST_F(FileCipher, MissingFilesAndFoldersFail) {
  EXPECT_FALSE(encryptFile("key", path("missing"), path("out"), kSalt));
  EXPECT_FALSE(decryptFile("key", path("missing"), path("out")));
  writeBytes(path("plain"), bytesOf("text"));
  EXPECT_FALSE(encryptFile("key", path("plain"), path("no-folder") + kPathSeparator + "out", kSalt));
  EXPECT_FALSE(encryptFile("key", dir_, path("out"), kSalt)) << "a folder is no file";
  EXPECT_EQ(listing(), std::vector<std::string>{"plain"});
}

TEST_F(FileCipher, SourceAndTargetMayBeOneFile) {
  const Bytes plain = bytesOf("enciphered in place and back");
  writeBytes(path("file"), plain);
  ASSERT_TRUE(encryptFile("key", path("file"), path("file"), kSalt));
  EXPECT_EQ(readBytes(path("file")).size(), plain.size() + kOverhead);
  EXPECT_FALSE(decryptFile("kez", path("file"), path("file")));
  ASSERT_TRUE(decryptFile("key", path("file"), path("file")));
  EXPECT_EQ(readBytes(path("file")), plain);
  EXPECT_EQ(listing(), std::vector<std::string>{"file"});
}

TEST_F(FileCipher, Md5OfFilesReadsThemWhole) {
  std::mt19937 random(3);
  for (std::size_t n : {0, 3, 65536, 65536 * 2 + 17}) {
    const Bytes bytes = randomBytes(n, random);
    writeBytes(path("data"), bytes);
    // (The container's md5 is not given an empty vector: its data may be null.)
    EXPECT_EQ(toHex(*md5OfFile(path("data"))),
              n ? toHex(container::md5(bytes)) : "d41d8cd98f00b204e9800998ecf8427e") << n;
  }
  EXPECT_EQ(md5OfFile(path("missing")), std::nullopt);
  EXPECT_EQ(md5OfFile(dir_), std::nullopt);
}

} // namespace
} // namespace plumex::hostlib::crypto
