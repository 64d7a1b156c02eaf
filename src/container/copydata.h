#pragma once
// The command block another instance sends the projector window
// (WM_COPYDATA): NUL-terminated ANSI texts, namely the name of its shared
// area, a global script function's name, the arguments, and an empty text.
// The reply goes back into that shared area, after the sender's window
// handle. The block and the mapped area come from another process: nothing
// is read or written outside either.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plumex::container {

// The shared area: the listening window's handle, then the reply text.
constexpr std::size_t kAreaSize = 65536;
constexpr std::size_t kReplyOffset = 4;

struct CopyDataCall {
  std::string area, function;
  std::vector<std::string> arguments;
};

// nullopt (the message answers -1) for an empty block, an empty function
// name, or a text whose NUL lies outside the block. The first empty text ends
// the arguments; what follows it is ignored. A block that ends after a text's
// NUL without the closing empty text is taken as complete.
std::optional<CopyDataCall> parseCopyData(std::span<const std::uint8_t> block);

// What to write at kReplyOffset for a reply of `textLength` bytes into a view
// of `viewSize` bytes: the text and its NUL when they fit both the area and
// the view, else a single NUL when one byte fits the view, else nothing.
enum class ReplyWrite { Text, Nul, Nothing };
ReplyWrite planReply(std::size_t textLength, std::size_t viewSize);

} // namespace plumex::container
