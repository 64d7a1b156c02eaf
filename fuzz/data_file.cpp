// A DataFile from anywhere: any bytes are read as an INI document, which
// writes back to text that reads as the same document, and every section is
// applied to the globals of an engine.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hostlib/fs/data_file.h"
#include "hostlib/fs/ini_document.h"

using namespace plumex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > fuzz::kMaxInput) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto doc = hostlib::fs::IniDocument::parse(bytes);
  const std::string text = doc.text();
  const auto again = hostlib::fs::IniDocument::parse(text);
  FUZZ_CHECK(again.text() == text);
  FUZZ_CHECK(again.sectionNames() == doc.sectionNames());

  auto engine = script::Engine::create();
  FUZZ_CHECK(engine);
  FUZZ_CHECK(script::runProtected(*engine, [&] { hostlib::fs::loadVariables(*engine, doc); }));
  return 0;
}
