#include "hostlib/fs/data_file_cipher.h"

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "hostlib/crypto/file_cipher.h"
#include "hostlib/fs/data_file.h"
#include "hostlib/fs/ini_document.h"
#include "hostlib/streams/replace_file.h"
#include "platform/files.h"

namespace plumex::hostlib::fs {
namespace {

// The pass phrase is kept masked, so that the program's bytes hold no
// plain copy of it: each byte XOR a mask that steps m -> 29m + 71 (mod
// 256) from a seed read at run time, which the compiler cannot fold.
std::string passPhrase() {
  static constexpr std::uint8_t kMasked[] = {
      0x2B, 0x4E, 0xDF, 0x83, 0x42, 0x08, 0x1D, 0x92, 0x3A, 0xEE, 0x60, 0x3A, 0xE2, 0x24, 0x5E, 0x96, 0x46,
      0x6C, 0x32, 0x95, 0x9F, 0x78, 0xAC, 0x73, 0x28, 0x1A, 0x0C, 0x52, 0x47, 0xA2, 0x3A, 0x3D, 0xDE, 0xFC,
      0xFD, 0x90, 0xA6, 0xB0, 0x66, 0x76, 0x8E, 0x94, 0xA1, 0x56, 0x41, 0x0D, 0xD7, 0x73, 0xAF};
  volatile std::uint8_t seed = 0x5A;
  std::uint8_t mask = seed;
  std::string phrase;
  for (const std::uint8_t b : kMasked) {
    phrase.push_back(static_cast<char>(b ^ mask));
    mask = static_cast<std::uint8_t>(mask * 29 + 71);
  }
  return phrase;
}

crypto::FileSalt freshSalt() {
  std::random_device random;
  crypto::FileSalt salt;
  for (std::size_t i = 0; i < salt.size(); i += 4) {
    const unsigned word = random();
    for (std::size_t j = 0; j < 4; ++j) salt[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  return salt;
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

// The plain text never touches the disk: it is enciphered in memory and
// the target replaced whole.
bool saveEncipheredDataFile(script::Engine& engine, const std::string& path, std::span<const std::string> names) {
  IniDocument doc;
  if (!saveVariables(engine, doc, names)) return false;
  const std::string text = doc.text();
  return streams::replaceFile(path, crypto::encryptBytes(passPhrase(), bytesOf(text), freshSalt()));
}

bool loadEncipheredDataFile(script::Engine& engine, const std::string& path) {
  InputFile file;
  if (!fileExists(path) || !file.open(path)) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
  if (!file.readExactly(bytes.data(), bytes.size())) return false;
  // The key check and the HMAC refuse a foreign or damaged file before
  // anything is applied.
  const std::optional<std::vector<std::uint8_t>> plain = crypto::decryptBytes(passPhrase(), bytes);
  if (!plain) return false;
  loadVariables(engine, IniDocument::parse(std::string(plain->begin(), plain->end())));
  return true;
}

} // namespace plumex::hostlib::fs
