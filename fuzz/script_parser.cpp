// The script front end over arbitrary bytes: scripts are files users write
// and pass around. Every input ends in a tree or in exactly one error, all
// messages are well-formed lines, and whatever tree results can be walked.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "script/compiler/dump.h"
#include "script/compiler/parser.h"

using namespace plumex::script::compiler;

namespace {

// Returns whether the last line is an error.
bool checkMessages(std::string_view messages, std::string_view source) {
  const std::size_t sourceEnd = source.find('\0');
  const std::string_view read = source.substr(0, sourceEnd);
  long lines = 0;
  for (char c : read) lines += c == '\n';
  bool lastIsError = false;
  std::size_t pos = 0;
  while (pos < messages.size()) {
    const std::size_t eol = messages.find("\r\n", pos);
    FUZZ_CHECK(eol != std::string_view::npos);
    const std::string_view line = messages.substr(pos, eol - pos);
    FUZZ_CHECK(!lastIsError);  // nothing follows an error
    std::string_view rest;
    if (line.rfind("error: line ", 0) == 0) {
      lastIsError = true;
      rest = line.substr(12);
    } else {
      FUZZ_CHECK(line.rfind("warning: line ", 0) == 0);
      rest = line.substr(14);
    }
    long n = 0;
    std::size_t i = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) n = n * 10 + (rest[i] - '0');
    FUZZ_CHECK(i > 0 && rest.substr(i, 2) == ": " && rest.size() > i + 2);
    FUZZ_CHECK(n <= lines);
    pos = eol + 2;
  }
  return lastIsError;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  for (unsigned options : {0u, kOptionWarnSemicolon | kOptionStrictStrings}) {
    auto in = ScriptStream::openText(source);
    auto messages = ScriptStream::openMemory();
    auto tree = parseProgram(*in, *messages, options);
    FUZZ_CHECK(checkMessages(messages->memory(), source) == !tree);
    if (tree) FUZZ_CHECK(formatSyntaxTree(*tree).rfind("functions:\n", 0) == 0);
  }
  auto in = ScriptStream::openText(source);
  const DumpResult tokens = dumpTokens(*in, 0);
  FUZZ_CHECK(checkMessages(tokens.messages, source) == !tokens.ok);
  return 0;
}
