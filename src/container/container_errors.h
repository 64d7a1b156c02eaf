#pragma once
// The container's exceptions. Their texts are what users see in the stop
// box, so they are kept exactly.

#include <stdexcept>
#include <string>

namespace plumex::container {

class CAppException : public std::runtime_error {
public:
  explicit CAppException(const std::string& message) : std::runtime_error(message) {}
};

class CZipException : public std::runtime_error {
public:
  // The text for a zlib result code.
  explicit CZipException(int zlibCode) : std::runtime_error(messageFor(zlibCode)), code_(zlibCode) {}
  explicit CZipException(const std::string& message) : std::runtime_error(message) {}

  int code() const { return code_; }
  static std::string messageFor(int zlibCode);

private:
  int code_ = 0;
};

// A stored record that does not parse: truncated, counts past the data,
// unsafe names.
class FormatError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace plumex::container
