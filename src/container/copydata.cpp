#include "container/copydata.h"

#include <algorithm>

namespace plumex::container {
namespace {

// The text from `at` up to its NUL, moving `at` past the NUL; nullopt when
// the block ends first.
std::optional<std::string> nextText(std::span<const std::uint8_t> block, std::size_t& at) {
  const auto begin = block.begin() + static_cast<std::ptrdiff_t>(at);
  const auto nul = std::find(begin, block.end(), std::uint8_t{0});
  if (nul == block.end()) return std::nullopt;
  at = static_cast<std::size_t>(nul - block.begin()) + 1;
  return std::string(begin, nul);
}

} // namespace

std::optional<CopyDataCall> parseCopyData(std::span<const std::uint8_t> block) {
  std::size_t at = 0;
  std::optional<std::string> area = nextText(block, at);
  if (!area) return std::nullopt;
  std::optional<std::string> function = nextText(block, at);
  if (!function || function->empty()) return std::nullopt;
  CopyDataCall call{std::move(*area), std::move(*function), {}};
  while (at < block.size()) {
    std::optional<std::string> argument = nextText(block, at);
    if (!argument) return std::nullopt;
    if (argument->empty()) break;
    call.arguments.push_back(std::move(*argument));
  }
  return call;
}

ReplyWrite planReply(std::size_t textLength, std::size_t viewSize) {
  if (viewSize <= kReplyOffset) return ReplyWrite::Nothing;
  // Room for the text and its NUL; compared so that textLength + 1 cannot
  // overflow.
  const std::size_t room = std::min(kAreaSize, viewSize) - kReplyOffset;
  return textLength < room ? ReplyWrite::Text : ReplyWrite::Nul;
}

} // namespace plumex::container
