// The PE resource reader, and the writer on images the reader accepts: an
// added resource must read back from the written image together with every
// resource the image had (the last of duplicates, as the writer keeps it).
#include <cstdint>
#include <map>
#include <tuple>

#include "container/pe/pe_resources.h"
#include "fuzz_check.h"

using namespace plumex::container;

namespace {

using Key = std::tuple<ResourceId, ResourceId, std::uint16_t>;

std::map<Key, std::vector<std::uint8_t>> byKey(const std::vector<Resource>& resources) {
  std::map<Key, std::vector<std::uint8_t>> out;
  for (const Resource& r : resources) out[{r.type, r.name, r.language}] = r.data;
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::span<const std::uint8_t> image(data, size);
  std::vector<Resource> resources;
  try {
    resources = readResources(image);
  } catch (const PeError&) {
    return 0;
  }

  const Resource added{ResourceId::name(u"plumex"), ResourceId::number(1), 0, {1, 2, 3, 4, 5}};
  std::vector<std::uint8_t> written;
  try {
    written = addResources(image, {added});
  } catch (const PeError&) {
    return 0;
  }
  auto expected = byKey(resources);
  expected[{added.type, added.name, added.language}] = added.data;
  FUZZ_CHECK(byKey(readResources(written)) == expected);
  // Data appended after the last section directly follows the written image.
  FUZZ_CHECK(endOfLastSection(written) == written.size());
  return 0;
}
