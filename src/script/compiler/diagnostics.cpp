#include "script/compiler/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace plumex::script::compiler {

void Diagnostics::write(const char* prefix, int line, const char* text) {
  messages_.writeText(prefix);
  messages_.writeDecimal(line);
  messages_.writeText(": ");
  messages_.writeText(text);
  messages_.writeText("\r\n");
}

void Diagnostics::warning(int line, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  write("warning: line ", line, text);
}

void Diagnostics::error(int line, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  write("error: line ", line, text);
  throw CompileFailed();
}

} // namespace plumex::script::compiler
