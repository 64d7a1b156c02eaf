// The mask list: any input either reads or throws FormatError; every mask
// kept has a name that is safe as a file name in the run folder, and the
// list survives writing and reading back.
#include <cstdint>

#include "container/container_errors.h"
#include "container/prefixed_text.h"
#include "container/records.h"
#include "fuzz_check.h"

using namespace plumex::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  std::vector<Mask> masks;
  try {
    masks = readMaskList({data, size});
  } catch (const FormatError&) {
    return 0;
  }
  for (const Mask& m : masks) FUZZ_CHECK(isSafeFileName(m.name));
  const std::vector<Mask> back = readMaskList(writeMaskList(masks));
  FUZZ_CHECK(back.size() == masks.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    FUZZ_CHECK(back[i].name == masks[i].name);
    FUZZ_CHECK(back[i].data == masks[i].data);
  }
  return 0;
}
