// Two readers of bytes another program hands the projector: the command
// block of WM_COPYDATA, and the head of a movie file. The same input goes to
// both; the reply plan is driven by sizes taken from the input.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "container/copydata.h"
#include "container/swf_header.h"
#include "fuzz_check.h"

using namespace plumex::container;

namespace {

bool noNul(const std::string& s) { return s.find('\0') == std::string::npos; }

// A parsed block is the input's own leading texts, each with its NUL.
void checkCopyData(std::span<const std::uint8_t> block) {
  const std::optional<CopyDataCall> call = parseCopyData(block);
  if (!call) return;
  FUZZ_CHECK(!call->function.empty());
  std::vector<std::uint8_t> texts;
  auto add = [&](const std::string& s) {
    FUZZ_CHECK(noNul(s));
    texts.insert(texts.end(), s.begin(), s.end());
    texts.push_back(0);
  };
  add(call->area);
  add(call->function);
  for (const std::string& a : call->arguments) {
    FUZZ_CHECK(!a.empty());
    add(a);
  }
  FUZZ_CHECK(texts.size() <= block.size());
  FUZZ_CHECK(std::equal(texts.begin(), texts.end(), block.begin()));
  // What follows is the closing empty text or the end of the block.
  FUZZ_CHECK(texts.size() == block.size() || block[texts.size()] == 0);
}

void checkReplyPlan(std::span<const std::uint8_t> input) {
  if (input.size() < 2 * sizeof(std::size_t)) return;
  std::size_t textLength = 0, viewSize = 0;
  std::memcpy(&textLength, input.data(), sizeof textLength);
  std::memcpy(&viewSize, input.data() + sizeof textLength, sizeof viewSize);
  // Small sizes are the interesting ones; keep them common.
  if (input.size() > 2 * sizeof(std::size_t) && (input[2 * sizeof(std::size_t)] & 1)) {
    textLength %= 2 * kAreaSize;
    viewSize %= 2 * kAreaSize;
  }
  const std::size_t room = std::min(viewSize, kAreaSize);
  switch (planReply(textLength, viewSize)) {
  case ReplyWrite::Text:
    FUZZ_CHECK(room > kReplyOffset && textLength < room - kReplyOffset);
    break;
  case ReplyWrite::Nul:
    FUZZ_CHECK(viewSize > kReplyOffset);
    FUZZ_CHECK(textLength >= room - kReplyOffset);
    break;
  case ReplyWrite::Nothing:
    FUZZ_CHECK(viewSize <= kReplyOffset);
    break;
  }
}

bool sameHeader(const SwfHeader& a, const SwfHeader& b) {
  return a.compression == b.compression && a.version == b.version &&
         a.fileLength == b.fileLength && a.xMin == b.xMin && a.xMax == b.xMax &&
         a.yMin == b.yMin && a.yMax == b.yMax && a.frameRate == b.frameRate &&
         a.frameCount == b.frameCount;
}

void checkSwfHeader(std::span<const std::uint8_t> head) {
  const std::optional<SwfHeader> h = readSwfHeader(head);
  if (!h) return;
  FUZZ_CHECK(h->compression == 'F' || h->compression == 'C');
  FUZZ_CHECK(head[0] == static_cast<std::uint8_t>(h->compression));
  for (std::int32_t v : {h->xMin, h->xMax, h->yMin, h->yMax})
    FUZZ_CHECK(v >= -(1 << 30) && v < (1 << 30));
  FUZZ_CHECK(h->frameRate >= 0 && h->frameRate < 256);
  FUZZ_CHECK(std::isfinite(h->widthPixels()) && std::isfinite(h->heightPixels()));
  // More of the file never changes a header already read.
  std::vector<std::uint8_t> longer(head.begin(), head.end());
  longer.resize(longer.size() + 64, 0xA5);
  const std::optional<SwfHeader> again = readSwfHeader(longer);
  FUZZ_CHECK(again && sameHeader(*again, *h));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::span<const std::uint8_t> input(data, size);
  checkCopyData(input);
  checkReplyPlan(input);
  checkSwfHeader(input);
  return 0;
}
