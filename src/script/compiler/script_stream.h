#pragma once
// The compiler's character stream and byte writer: a source text or file
// read one byte at a time with push back, or a memory buffer or file that
// compile messages and modules are written to.
//
// Reading never goes past the end of what the source holds: the first 0
// byte (a NUL inside the source, or the end of the text or file) ends the
// source, and every later read gives 0 again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace plumex::script {
class Engine;
}

namespace plumex::script::compiler {

class ScriptStream {
public:
  enum class Kind { StringInput = 0, MemoryOutput = 1, FileInput = 2, FileOutput = 3 };
  static constexpr std::size_t kBlockSize = 4096;

  // Kind 0 over a copy of the text, named "string".
  static std::unique_ptr<ScriptStream> openText(std::string_view text);
  // Kind 1, an empty growable buffer, named "string".
  static std::unique_ptr<ScriptStream> openMemory();
  // Kind 2: the file's bytes as they are. Null when it cannot be opened.
  static std::unique_ptr<ScriptStream> openFile(const std::string& path);
  // The same, adding "can't open the script file: PATH\n" to the engine's
  // error text on failure.
  static std::unique_ptr<ScriptStream> openFile(Engine& engine, const std::string& path);
  // Kind 3: created or truncated. Null when it cannot be created.
  static std::unique_ptr<ScriptStream> createFile(const std::string& path);

  ~ScriptStream();
  ScriptStream(const ScriptStream&) = delete;
  ScriptStream& operator=(const ScriptStream&) = delete;

  Kind kind() const { return kind_; }
  const std::string& name() const { return name_; }

  // The lexer's line counter, from 0.
  int line = 0;

  // The next byte (0 to 255): the newest pushed-back one first; 0 once the
  // source has ended.
  int read() {
    if (!pushed_.empty()) {
      const int c = pushed_.back();
      pushed_.pop_back();
      return c;
    }
    if (pos_ < end_) {
      const auto c = static_cast<unsigned char>(data_[pos_++]);
      if (c != 0) return c;
      end_ = pos_;
      ended_ = true;
      return 0;
    }
    return refill();
  }
  void pushBack(int c) { pushed_.push_back(c); }
  int peek() {
    const int c = read();
    pushBack(c);
    return c;
  }
  // Inputs start again from the beginning; other kinds do nothing.
  void rewind();

  // Writers (kinds 1 and 3), each the one letter of the formatted write:
  void writeDecimal(std::int32_t v);                      // a
  void writeBytes(const void* data, std::size_t size);    // b
  void writeByte(std::uint8_t c);                         // c
  void writeDoubleLE(double d);                           // d
  void writeFixed(double d);                              // f, as "%f"
  void writeU16BE(std::uint16_t v);                       // i
  void writeU32BE(std::uint32_t v);                       // l
  void writeText(std::string_view s);                     // s
  void writeCounted(const void* data, std::size_t size);  // x: 32-bit big-endian count, bytes
  void flush();
  // Flushes and closes a file; false when any write to it failed.
  bool close();

  // What a memory stream holds.
  std::string_view memory() const { return memory_; }
  bool failed() const { return failed_; }

private:
  ScriptStream(Kind kind, std::string name);
  int refill();

  Kind kind_;
  std::string name_;
  const char* data_ = nullptr;  // the text, or the block buffer
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;
  std::vector<int> pushed_;
  std::string text_;            // kind 0
  std::string memory_;          // kind 1
  std::vector<char> block_;     // kinds 2 and 3
  InputFile in_;
  OutputFile out_;
  bool open_ = false;
  bool failed_ = false;
};

} // namespace plumex::script::compiler
