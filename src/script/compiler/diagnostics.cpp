#include "script/compiler/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace plumex::script::compiler {

void Diagnostics::write(const char* prefix, int line, const char* text) {
  messages_.writeText(prefix);
  messages_.writeDecimal(line);
  messages_.writeText(": ");
  messages_.writeText(text);
  messages_.writeText("\r\n");
}

namespace {

// The whole message, however long the names it quotes.
std::string formatMessage(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

} // namespace

void Diagnostics::warning(int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatMessage(format, args);
  va_end(args);
  write("warning: line ", line, text.c_str());
}

void Diagnostics::error(int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatMessage(format, args);
  va_end(args);
  write("error: line ", line, text.c_str());
  throw CompileFailed();
}

} // namespace plumex::script::compiler
