#include "hostlib/crypto/file_cipher.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "hostlib/crypto/block.h"
#include "hostlib/crypto/blowfish.h"
#include "hostlib/crypto/hmac_md5.h"
#include "hostlib/crypto/key_derivation.h"
#include "hostlib/crypto/pending_file.h"
#include "platform/files.h"

namespace plumex::hostlib::crypto {
namespace {

constexpr std::uint8_t kMagic[8] = {'P', 'X', 'E', 'F', 1, 0, 0, 0};
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kTagSize = 16;
// A multiple of the block size, so that every piece but the last starts a
// block of the counter stream.
constexpr std::size_t kPiece = 64 * 1024;

using Header = std::array<std::uint8_t, kHeaderSize>;

struct FileKeys {
  explicit FileKeys(std::string_view keyText, std::span<const std::uint8_t> salt)
      : bytes(deriveKey("file", salt, keyText, 80)) {}
  std::span<const std::uint8_t> cipherKey() const { return std::span(bytes).first(56); }
  std::span<const std::uint8_t> macKey() const { return std::span(bytes).subspan(56, 16); }
  std::span<const std::uint8_t> check() const { return std::span(bytes).subspan(72, 8); }
  std::vector<std::uint8_t> bytes;
};

// XORs the counter stream over the piece that starts at block `block`.
void applyStream(const Blowfish& cipher, std::uint64_t block, std::span<std::uint8_t> piece) {
  std::uint8_t stream[8];
  for (std::size_t i = 0; i < piece.size(); i += 8, ++block) {
    storeBlock(cipher.encrypt(block), stream);
    const std::size_t n = std::min<std::size_t>(8, piece.size() - i);
    for (std::size_t j = 0; j < n; ++j) piece[i + j] ^= stream[j];
  }
}

void putLength(std::uint64_t n, std::uint8_t* p) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(n >> (8 * i));
}

std::uint64_t getLength(const std::uint8_t* p) {
  std::uint64_t n = 0;
  for (int i = 7; i >= 0; --i) n = n << 8 | p[i];
  return n;
}

// Moves `length` bytes from `in` to `out` through the counter stream; the
// MAC sees the enciphered side (`macAfter`: after applying the stream, as
// when enciphering).
bool transform(InputFile& in, PendingFile& out, std::uint64_t length, const Blowfish& cipher,
               HmacMd5Stream& mac, bool macAfter) {
  std::vector<std::uint8_t> buffer(kPiece);
  std::uint64_t block = 0;
  while (length > 0) {
    const std::span<std::uint8_t> piece = std::span(buffer).first(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, length)));
    if (!in.readExactly(piece.data(), piece.size())) return false;
    if (!macAfter) mac.update(piece);
    applyStream(cipher, block, piece);
    if (macAfter) mac.update(piece);
    if (!out.write(piece.data(), piece.size())) return false;
    block += kPiece / 8;
    length -= piece.size();
  }
  return true;
}

} // namespace

bool encryptFile(std::string_view keyText, const std::string& source, const std::string& target,
                 const FileSalt& salt) {
  InputFile in;
  if (!in.open(source)) return false;
  const std::uint64_t length = in.size();
  const FileKeys keys(keyText, salt);

  Header header{};
  std::copy(std::begin(kMagic), std::end(kMagic), header.begin());
  std::copy(salt.begin(), salt.end(), header.begin() + 8);
  putLength(length, &header[16]);
  std::copy(keys.check().begin(), keys.check().end(), header.begin() + 24);

  PendingFile out(target);
  if (!out.create() || !out.write(header.data(), header.size())) return false;
  HmacMd5Stream mac(keys.macKey());
  mac.update(header);
  if (!transform(in, out, length, Blowfish(keys.cipherKey()), mac, true)) return false;
  const container::Digest tag = mac.finish();
  if (!out.write(tag.data(), tag.size())) return false;
  in.close();
  return out.commit();
}

bool decryptFile(std::string_view keyText, const std::string& source, const std::string& target) {
  InputFile in;
  if (!in.open(source)) return false;
  const std::uint64_t size = in.size();
  Header header;
  if (size < kHeaderSize + kTagSize || !in.readExactly(header.data(), header.size())) return false;
  if (!std::equal(std::begin(kMagic), std::end(kMagic), header.begin())) return false;
  const std::uint64_t length = getLength(&header[16]);
  if (length != size - kHeaderSize - kTagSize) return false;
  const FileKeys keys(keyText, std::span(header).subspan(8, 8));
  if (!std::equal(keys.check().begin(), keys.check().end(), header.begin() + 24)) return false;

  PendingFile out(target);
  if (!out.create()) return false;
  HmacMd5Stream mac(keys.macKey());
  mac.update(header);
  if (!transform(in, out, length, Blowfish(keys.cipherKey()), mac, false)) return false;
  std::uint8_t tag[kTagSize];
  if (!in.readExactly(tag, kTagSize)) return false;
  const container::Digest expected = mac.finish();
  if (!std::equal(expected.begin(), expected.end(), tag)) return false;
  in.close();
  return out.commit();
}

std::vector<std::uint8_t> encryptBytes(std::string_view keyText, std::span<const std::uint8_t> plain,
                                       const FileSalt& salt) {
  const FileKeys keys(keyText, salt);
  std::vector<std::uint8_t> file(kHeaderSize + plain.size() + kTagSize);
  std::copy(std::begin(kMagic), std::end(kMagic), file.begin());
  std::copy(salt.begin(), salt.end(), file.begin() + 8);
  putLength(plain.size(), &file[16]);
  std::copy(keys.check().begin(), keys.check().end(), file.begin() + 24);
  const std::span<std::uint8_t> body = std::span(file).subspan(kHeaderSize, plain.size());
  std::copy(plain.begin(), plain.end(), body.begin());
  applyStream(Blowfish(keys.cipherKey()), 0, body);
  const container::Digest tag = hmacMd5(keys.macKey(), std::span(file).first(kHeaderSize + plain.size()));
  std::copy(tag.begin(), tag.end(), file.end() - kTagSize);
  return file;
}

std::optional<std::vector<std::uint8_t>> decryptBytes(std::string_view keyText, std::span<const std::uint8_t> file) {
  if (file.size() < kHeaderSize + kTagSize) return std::nullopt;
  if (!std::equal(std::begin(kMagic), std::end(kMagic), file.begin())) return std::nullopt;
  const std::uint64_t length = getLength(&file[16]);
  if (length != file.size() - kHeaderSize - kTagSize) return std::nullopt;
  const FileKeys keys(keyText, file.subspan(8, 8));
  if (!std::equal(keys.check().begin(), keys.check().end(), file.begin() + 24)) return std::nullopt;
  const std::span<const std::uint8_t> signedPart = file.first(file.size() - kTagSize);
  const container::Digest expected = hmacMd5(keys.macKey(), signedPart);
  if (!std::equal(expected.begin(), expected.end(), file.end() - kTagSize)) return std::nullopt;
  std::vector<std::uint8_t> plain(signedPart.begin() + kHeaderSize, signedPart.end());
  applyStream(Blowfish(keys.cipherKey()), 0, plain);
  return plain;
}

} // namespace plumex::hostlib::crypto
