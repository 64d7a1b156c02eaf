#pragma once
// Compile messages: "warning: line N: TEXT" and "error: line N: TEXT", each
// ended by "\r\n", written to the compilation's message stream (lines
// counted from 0). An error abandons the compilation by throwing
// CompileFailed, which the entry point of the compilation catches.

#include <exception>

#include "script/compiler/script_stream.h"

#if defined(__GNUC__)
#define PLUMEX_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define PLUMEX_PRINTF_FORMAT(f, a)
#endif

namespace plumex::script::compiler {

class CompileFailed : public std::exception {
public:
  const char* what() const noexcept override { return "compilation failed"; }
};

class Diagnostics {
public:
  explicit Diagnostics(ScriptStream& messages) : messages_(messages) {}

  void warning(int line, const char* format, ...) PLUMEX_PRINTF_FORMAT(3, 4);
  [[noreturn]] void error(int line, const char* format, ...) PLUMEX_PRINTF_FORMAT(3, 4);

  ScriptStream& messages() { return messages_; }

private:
  void write(const char* prefix, int line, const char* text);
  ScriptStream& messages_;
};

} // namespace plumex::script::compiler
