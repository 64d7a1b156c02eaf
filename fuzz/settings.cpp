// The settings record: any input either reads or throws FormatError, and a
// record that reads survives writing and reading back unchanged. The check
// compares stored forms, since every field is written in full: an absent
// text is stored as an empty one, so the first write is the normal form.
#include <cstdint>

#include "container/container_errors.h"
#include "container/settings_record.h"
#include "fuzz_check.h"

using namespace plumex::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  SettingsRecord record;
  try {
    record = readSettings({data, size});
  } catch (const FormatError&) {
    return 0;
  }
  const std::vector<std::uint8_t> stored = writeSettings(record);
  const SettingsRecord back = readSettings(stored);
  FUZZ_CHECK(writeSettings(back) == stored);
  // Fixed buffers keep one byte for the NUL.
  FUZZ_CHECK(back.appearance.caption.size() < kTextBuffer);
  FUZZ_CHECK(back.about.font1.faceName.size() < kFaceNameBuffer);
  FUZZ_CHECK(back.about.font2.faceName == record.about.font2.faceName);
  FUZZ_CHECK(back.misc.helpFile == record.misc.helpFile);
  FUZZ_CHECK(back.packager.systemTime == record.packager.systemTime);
  return 0;
}
