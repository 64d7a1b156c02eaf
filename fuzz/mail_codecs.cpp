// The mail codecs: every decoder on any input, and decode(encode(x)) == x
// for base64 (at a line length taken from the input), quoted-printable and
// encoded words (in a code page taken from the input).
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/charsets.h"
#include "hostlib/codecs/encoded_words.h"
#include "hostlib/codecs/quoted_printable.h"
#include "hostlib/mail/header_fields.h"

using namespace plumex::hostlib;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Decoders and header readers on anything.
  const std::string b64 = codecs::decodeBase64ToString(input);
  FUZZ_CHECK(b64.size() <= input.size());
  FUZZ_CHECK(codecs::decodeQuotedPrintable(input).size() <= input.size());
  FUZZ_CHECK(codecs::decodeWords(input).size() <= input.size());
  (void)mail::findParameter(input, "name");
  (void)mail::mainValue(input);
  (void)mail::findField(input, "Content-Type");

  // Round trips.
  const std::size_t lineLength = size > 0 ? data[0] % 80 : 0;
  FUZZ_CHECK(codecs::decodeBase64ToString(codecs::encodeBase64(input, lineLength)) == input);
  FUZZ_CHECK(codecs::decodeQuotedPrintable(codecs::encodeQuotedPrintable(input)) == input);
  constexpr unsigned kCodePages[] = {1252, 932, 936, 949, 950, 65001, 1251};
  const unsigned codePage = kCodePages[size > 1 ? data[1] % std::size(kCodePages) : 0];
  const std::string_view charset = codecs::charsetForCodePage(codePage);
  const std::string words = codecs::encodeWords(input, charset, codePage, size > 2 ? data[2] % 80 : 75);
  FUZZ_CHECK(codecs::decodeWords(words) == input);
  return 0;
}
