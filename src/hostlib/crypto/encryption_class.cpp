#include "hostlib/crypto/encryption_class.h"

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "container/digest.h"
#include "hostlib/crypto/file_cipher.h"
#include "hostlib/crypto/md5_stream.h"
#include "hostlib/crypto/text_cipher.h"
#include "script/values/factory.h"

namespace plumex::hostlib {
namespace {

using binding::Args;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Value;

enum Member { BlowfishEncode, BlowfishDecode, DesEncode, DesDecode, Md5, Md5File, EncFile, DecFile };
constexpr std::string_view kMembers[] = {"blowfishEncode", "blowfishDecode", "desEncode", "desDecode",
                                         "md5",            "md5File",        "encFile",   "decFile"};

crypto::FileSalt freshSalt() {
  std::random_device random;
  crypto::FileSalt salt;
  for (std::size_t i = 0; i < salt.size(); i += 4) {
    const unsigned word = random();
    for (std::size_t j = 0; j < 4; ++j) salt[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  return salt;
}

// The text methods: null unless every argument they take is a String.
Value textMethod(Engine& e, int member, const Args& args) {
  const std::optional<std::string> first = args.text(0);
  if (!first) return Value::null();
  if (member == Md5) {
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(first->data()), first->size());
    return script::copyAscii(e, crypto::toHex(container::md5(bytes)));
  }
  if (member == Md5File) {
    const auto digest = crypto::md5OfFile(*first);
    return digest ? script::copyAscii(e, crypto::toHex(*digest)) : Value::null();
  }
  const std::optional<std::string> second = args.text(1);
  if (!second) return Value::null();
  const crypto::TextCipher cipher =
      member == BlowfishEncode || member == BlowfishDecode ? crypto::TextCipher::Blowfish : crypto::TextCipher::TripleDes;
  if (member == BlowfishEncode || member == DesEncode)
    return script::copyAscii(e, crypto::encryptText(cipher, *first, *second));
  const std::optional<std::string> plain = crypto::decryptText(cipher, *first, *second);
  return plain ? script::makeString(e, *plain) : Value::null();
}

// encFile and decFile: false unless the key and both paths are Strings.
Value fileMethod(int member, const Args& args) {
  const auto key = args.text(0), source = args.text(1), target = args.text(2);
  if (!key || !source || !target) return Value::boolean(false);
  return Value::boolean(member == EncFile ? crypto::encryptFile(*key, *source, *target, freshSalt())
                                          : crypto::decryptFile(*key, *source, *target));
}

bool encryptionMethod(Engine& e, ClassRecord& cls, void*, Atom atom, Value& result, ArgBlock block) {
  const int member = binding::members(cls).find(atom);
  if (member < 0) return binding::classObjectMethod(e, cls, atom, result);
  const Args args(block);
  result = member == EncFile || member == DecFile ? fileMethod(member, args) : textMethod(e, member, args);
  return true;
}

} // namespace

void registerEncryptionClass(Engine& engine) {
  // The class object's text keeps the spelling scripts have always seen.
  binding::registerClass(engine, {.name = "Encryption",
                                  .members = kMembers,
                                  .method = encryptionMethod,
                                  .property = binding::declineProperties,
                                  .objectText = "[object Encrpytion]"});
}

} // namespace plumex::hostlib
