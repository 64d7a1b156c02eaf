#include "container/copydata.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace plumex::container {
namespace {

using namespace std::string_literals;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(CopyData, ParsesTheTextsOfABlock) {
  struct Case {
    const char* what;
    std::string block;
    bool accepted;
    std::string area, function;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"no arguments", "area\0func\0\0"s, true, "area", "func", {}},
      {"two arguments", "area\0func\0a\0bc\0\0"s, true, "area", "func", {"a", "bc"}},
      {"an empty text ends the arguments", "area\0func\0a\0\0b\0\0"s, true, "area", "func", {"a"}},
      {"bytes after the end are ignored", "area\0func\0x\0\0junk"s, true, "area", "func", {"x"}},
      {"no closing empty text after the function", "area\0func\0"s, true, "area", "func", {}},
      {"no closing empty text after an argument", "area\0func\0a\0"s, true, "area", "func", {"a"}},
      {"an empty area name is the caller's affair", "\0func\0\0"s, true, "", "func", {}},
      {"8-bit characters pass unchanged", "\xE9t\xE9\0f\0\xFF\x80\0\0"s, true, "\xE9t\xE9", "f",
       {"\xFF\x80"}},
      {"an empty block", ""s, false, "", "", {}},
      {"no NUL at all", "area"s, false, "", "", {}},
      {"no function", "area\0"s, false, "", "", {}},
      {"an empty function name", "area\0\0a\0\0"s, false, "", "", {}},
      {"a function without its NUL", "area\0func"s, false, "", "", {}},
      {"an argument without its NUL", "area\0func\0arg"s, false, "", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<CopyDataCall> call = parseCopyData(bytesOf(c.block));
    ASSERT_EQ(call.has_value(), c.accepted);
    if (!call) continue;
    EXPECT_EQ(call->area, c.area);
    EXPECT_EQ(call->function, c.function);
    EXPECT_EQ(call->arguments, c.arguments);
  }
}

// The bytes behind the block are in memory, NULs included, and must not be
// used: each prefix of a well-formed block reads as its own length says.
TEST(CopyData, ReadsNothingBeyondTheBlock) {
  const std::string whole = "area\0func\0one\0two\0\0"s;
  // Per prefix length: R refused, otherwise the number of arguments.
  const std::string expected = "RRRRRRRRRR0RRR1RRR22";
  ASSERT_EQ(expected.size(), whole.size() + 1);
  const std::vector<std::string> all = {"one", "two"};
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    SCOPED_TRACE(n);
    const std::optional<CopyDataCall> call = parseCopyData(bytesOf(whole).first(n));
    if (expected[n] == 'R') {
      EXPECT_FALSE(call);
      continue;
    }
    ASSERT_TRUE(call);
    EXPECT_EQ(call->function, "func");
    const auto count = static_cast<std::ptrdiff_t>(expected[n] - '0');
    EXPECT_EQ(call->arguments, std::vector<std::string>(all.begin(), all.begin() + count));
  }
}

TEST(CopyData, PlansTheReplyWithinTheAreaAndTheView) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  struct Case {
    std::size_t textLength, viewSize;
    ReplyWrite write;
  };
  const Case cases[] = {
      // A full area: the text with its NUL fits up to 65531 bytes.
      {0, kAreaSize, ReplyWrite::Text},
      {65530, kAreaSize, ReplyWrite::Text},
      {65531, kAreaSize, ReplyWrite::Text},
      {65532, kAreaSize, ReplyWrite::Nul},
      {70000, kAreaSize, ReplyWrite::Nul},
      // A larger view does not move the area's limit.
      {65531, 1 << 20, ReplyWrite::Text},
      {65532, 1 << 20, ReplyWrite::Nul},
      // A view smaller than the area sets the limit.
      {65530, kAreaSize - 1, ReplyWrite::Text},
      {65531, kAreaSize - 1, ReplyWrite::Nul},
      {0, 0, ReplyWrite::Nothing},
      {0, 4, ReplyWrite::Nothing},
      {65532, 4, ReplyWrite::Nothing},
      {0, 5, ReplyWrite::Text},
      {1, 5, ReplyWrite::Nul},
      {65531, 5, ReplyWrite::Nul},
      {1, 6, ReplyWrite::Text},
      {2, 6, ReplyWrite::Nul},
      // Sizes at the top of the range do not wrap around.
      {kMax, kAreaSize, ReplyWrite::Nul},
      {kMax, kMax, ReplyWrite::Nul},
      {kMax - 4, kMax, ReplyWrite::Nul},
      {0, kMax, ReplyWrite::Text},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(planReply(c.textLength, c.viewSize), c.write)
        << c.textLength << " bytes into a view of " << c.viewSize;
  }
}

} // namespace
} // namespace plumex::container
