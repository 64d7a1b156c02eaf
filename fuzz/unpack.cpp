// Packed blocks: any input either unpacks or throws CZipException, and what
// unpacks packs and unpacks again to the same bytes.
#include <cstdint>
#include <cstring>

#include "container/container_errors.h"
#include "container/packed_block.h"
#include "fuzz_check.h"

using namespace plumex::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  std::vector<std::uint8_t> out;
  try {
    out = unpackBlock({data, size});
  } catch (const CZipException&) {
    return 0;
  }
  std::uint32_t declared = 0;
  for (int i = 0; i < 4; ++i) declared |= std::uint32_t{data[4 + i]} << (8 * i);
  FUZZ_CHECK(out.size() == declared);
  FUZZ_CHECK(unpackBlock(packBlock(out)) == out);
  return 0;
}
