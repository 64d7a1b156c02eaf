// The movie record and the identity record. The identity is read twice:
// as given, and with a valid digest appended, so that the search gets past
// the digest to the text and GUID behind it.
#include <cstdint>
#include <vector>

#include "container/container_errors.h"
#include "container/digest.h"
#include "container/records.h"
#include "fuzz_check.h"
#include "platform/ansi_text.h"

using namespace plumex::container;

namespace {

void checkMovieRecord(std::span<const std::uint8_t> data) {
  MovieRecord r;
  try {
    r = readMovieRecord(data);
  } catch (const FormatError&) {
    return;
  }
  const MovieRecord back = readMovieRecord(writeMovieRecord(r));
  FUZZ_CHECK(back.kind == r.kind);
  FUZZ_CHECK(back.mainMovie == r.mainMovie);
  FUZZ_CHECK(back.protection == r.protection);
}

void checkIdentity(std::span<const std::uint8_t> data) {
  const std::optional<Identity> id = readIdentity(data);
  if (!id) return;
  FUZZ_CHECK(id->registryKey.find('/') == std::string::npos);
  std::string text = id->registryKey;
  if (id->profile) text += "/" + *id->profile;
  const std::optional<Identity> back = readIdentity(writeIdentity(plumex::ansiToUtf16(text), id->appId));
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->registryKey == id->registryKey);
  FUZZ_CHECK(back->profile == id->profile);
  FUZZ_CHECK(back->appId == id->appId);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::span<const std::uint8_t> input(data, size);
  checkMovieRecord(input);
  checkIdentity(input);
  std::vector<std::uint8_t> signed_(input.begin(), input.end());
  const Digest digest = md5(input);
  signed_.insert(signed_.end(), digest.begin(), digest.end());
  checkIdentity(signed_);
  return 0;
}
