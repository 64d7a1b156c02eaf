// The MX reader on any answer: no read past the end, names within their
// limit, and the same records whatever follows the answer's end.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "hostlib/net/dns_mx.h"

using namespace plumex::hostlib::net;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<MxRecord> records = readMxAnswer({data, size});
  for (const MxRecord& r : records) FUZZ_CHECK(r.exchange.size() <= kMaxDnsName);
  return 0;
}
