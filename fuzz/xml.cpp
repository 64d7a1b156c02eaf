// The external interface's XML from a movie: any text is read, and what
// reads as a value is written and read again to the same text, never past
// the nesting bound.
//
// Input: UTF-16 units, little-endian byte pairs.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "moviehost/xml_document.h"
#include "moviehost/xml_values.h"

using namespace plumex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > fuzz::kMaxInput) return 0;
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);

  const auto doc = moviehost::readXml(text);
  if (!doc) return 0;
  auto engine = script::Engine::create();
  FUZZ_CHECK(engine);
  script::Engine& e = *engine;
  // Nothing below collects, so the values need no roots.
  FUZZ_CHECK(script::runProtected(e, [&] {
    const auto value = moviehost::readXmlValue(e, *doc);
    if (!value) return;
    const auto written = moviehost::writeXmlValue(e, *value);
    FUZZ_CHECK(written);
    const auto again = moviehost::readXml(*written);
    FUZZ_CHECK(again);
    const auto value2 = moviehost::readXmlValue(e, *again);
    FUZZ_CHECK(value2);
    const auto written2 = moviehost::writeXmlValue(e, *value2);
    FUZZ_CHECK(written2 && *written2 == *written);
  }));
  return 0;
}
