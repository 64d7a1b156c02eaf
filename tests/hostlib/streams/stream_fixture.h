#pragma once
// An engine with the built-in classes and the stream classes in the
// runtime's order, a global show(v) that reports a value with its kind,
// and a scratch folder that is also the temporary folder (TMP).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/streams/stream_classes.h"
#include "hostlib/streams/string_stream.h"
#include "scratch_folder.h"
#include "script/builtins/builtins.h"
#include "script_session.h"

namespace plumex::hostlib::streams::testing {

using Bytes = std::vector<std::uint8_t>;
using Case = test::ScriptCase;

// A value as the tables write it: as every host-class table does, and an
// open StringStream as its bytes, <bytes 61 00>.
inline std::string describe(script::Engine& e, const script::Value& v) {
  if (const auto bytes = stringStreamContent(v)) {
    std::string out = "<bytes";
    for (std::uint8_t b : *bytes) {
      char hex[8];
      std::snprintf(hex, sizeof hex, " %02x", b);
      out += hex;
    }
    return out + ">";
  }
  return test::describeValue(e, v);
}

class StreamScript : public ::testing::Test {
protected:
  StreamScript() : session_(registerClasses), e(session_.engine()) {}

  void SetUp() override {
    ASSERT_TRUE(scratch_.make("plumex-streams"));
    dir_ = scratch_.dir();
    setTemporaryFolder(dir_);
  }
  void TearDown() override {
    // The engine first: its open files (temporary ones too) are closed as
    // it goes, and a system may not remove a folder holding open files.
    session_.end();
    scratch_.remove();
  }

  static void registerClasses(script::Engine& engine) {
    script::builtins::registerClassesThroughDate(engine);
    registerStreamClasses(engine);
    script::builtins::registerClassesFromMath(engine);
    test::registerShow<describe>(engine);
  }

  std::string run(std::string_view source) { return session_.run(source); }
  std::string path(std::string_view name) const { return scratch_.path(name); }
  std::string literal(std::string_view name) const { return scratch_.literal(name); }
  Bytes readBytes(std::string_view name) const {
    const std::string bytes = scratch_.read(name);
    return Bytes(bytes.begin(), bytes.end());
  }
  void writeBytes(std::string_view name, std::string_view bytes) const { scratch_.write(name, bytes); }
  std::vector<std::string> listing() const { return scratch_.listing(); }

  test::ScriptSession session_;
  script::Engine& e;
  test::ScratchFolder scratch_;
  std::string dir_;

private:
  static void setTemporaryFolder(const std::string& dir) {
#ifdef _WIN32
    _putenv(("TMP=" + dir).c_str());
#else
    setenv("TMP", dir.c_str(), 1);
#endif
  }
};

} // namespace plumex::hostlib::streams::testing
