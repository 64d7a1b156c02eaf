// The Encryption class's readers over any input: text deciphering from any
// base64 and the file cipher's reader over any file. Neither may crash; a
// deciphered text never holds a NUL and comes only from whole blocks; the
// file reader accepts only files whose length it recorded, and writes
// nothing when it refuses. Enciphering the input and deciphering it again
// gives it back.
//
// Input: a byte n, then n bytes (at most 63) of key text, then the rest:
// taken both as base64 text and as a file's bytes.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hostlib/codecs/base64.h"
#include "hostlib/crypto/file_cipher.h"
#include "hostlib/crypto/text_cipher.h"

namespace fs = std::filesystem;
using namespace plumex::hostlib;

namespace {

struct Scratch {
  fs::path base, input, output, sealed;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "plumex-fuzz-encryption-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    base = pattern;
    input = base / "input";
    output = base / "output";
    sealed = base / "sealed";
  }
  ~Scratch() { fs::remove_all(base); }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

std::string readAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeAll(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void texts(std::string_view key, std::string_view rest) {
  for (crypto::TextCipher cipher : {crypto::TextCipher::Blowfish, crypto::TextCipher::TripleDes}) {
    const auto plain = crypto::decryptText(cipher, key, rest);
    FUZZ_CHECK(plain.has_value() == (codecs::decodeBase64(rest).size() % 8 == 0));
    if (plain) FUZZ_CHECK(plain->find('\0') == std::string::npos);

    const std::string base64 = crypto::encryptText(cipher, key, rest);
    FUZZ_CHECK(base64.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(crypto::decryptText(cipher, key, base64) == std::string(rest.substr(0, rest.find('\0'))));
  }
}

void files(std::string_view key, std::string_view rest) {
  Scratch& s = scratch();
  writeAll(s.input, rest);
  fs::remove(s.output);
  if (crypto::decryptFile(key, s.input.string(), s.output.string())) {
    FUZZ_CHECK(rest.size() >= 48 && readAll(s.output).size() == rest.size() - 48);
  } else {
    FUZZ_CHECK(!fs::exists(s.output));
  }

  crypto::FileSalt salt{};
  std::copy_n(rest.begin(), std::min(rest.size(), salt.size()), salt.begin());
  FUZZ_CHECK(crypto::encryptFile(key, s.input.string(), s.sealed.string(), salt));
  FUZZ_CHECK(crypto::decryptFile(key, s.sealed.string(), s.output.string()));
  FUZZ_CHECK(readAll(s.output) == rest);
  // Nothing but the three files: no temporary one stays.
  FUZZ_CHECK(std::distance(fs::directory_iterator(s.base), fs::directory_iterator()) == 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > plumex::fuzz::kMaxInput) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t keyLength = std::min<std::size_t>(data[0] % 64, size - 1);
  const std::string_view key = all.substr(1, keyLength), rest = all.substr(1 + keyLength);
  texts(key, rest);
  files(key, rest);
  return 0;
}
