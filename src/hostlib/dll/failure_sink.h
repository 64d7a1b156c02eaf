#pragma once
// Where the DLL classes explain the failures they answer with false, Null
// or Undefined: scripts probe for DLLs with those values, so the runtime
// stays silent, but a script's author can ask for one line per failure
// (quorv --explain-failures). Nothing is written until a writer is set.

#include <functional>
#include <string_view>
#include <utility>

namespace plumex::hostlib::dll {

class FailureSink {
public:
  using Writer = std::function<void(std::string_view line)>;

  void setWriter(Writer writer) { writer_ = std::move(writer); }
  bool active() const { return static_cast<bool>(writer_); }
  // One line, without a line end.
  void report(std::string_view line) const {
    if (writer_) writer_(line);
  }

private:
  Writer writer_;
};

} // namespace plumex::hostlib::dll
