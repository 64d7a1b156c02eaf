#pragma once
// An engine with the built-in classes and the stream classes in the
// runtime's order, a global show(v) that reports a value with its kind,
// and a scratch folder that is also the temporary folder (TMP).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/class_binding.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/streams/string_stream.h"
#include "platform/files.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::hostlib::streams::testing {

using Bytes = std::vector<std::uint8_t>;

// A value as the tables write it: 3 (Integer), 3.5f (Float), 'text'
// (String, with \xNN for bytes outside printable ASCII), true, null,
// undefined, <bytes 61 00> (an open StringStream), <TEXT> (other natives).
inline std::string describe(script::Engine& e, const script::Value& v) {
  using script::Kind;
  auto quoted = [](std::u16string_view text) {
    std::string out = "'";
    for (char16_t c : text) {
      if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
      } else {
        char hex[16];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
        out += hex;
      }
    }
    return out + "'";
  };
  switch (v.kind) {
    case Kind::Integer: return std::to_string(v.integerValue());
    case Kind::Float: return std::string(script::toAnsi(script::toStringValue(e, v))) + "f";
    case Kind::String: return quoted(v.asString()->view());
    case Kind::Native:
      if (const auto bytes = stringStreamContent(v)) {
        std::string out = "<bytes";
        for (std::uint8_t b : *bytes) {
          char hex[8];
          std::snprintf(hex, sizeof hex, " %02x", b);
          out += hex;
        }
        return out + ">";
      }
      return "<" + script::toAnsi(script::toStringValue(e, v)) + ">";
    case Kind::Boolean: return v.booleanValue() ? "true" : "false";
    case Kind::Null: return "null";
    case Kind::Undefined: return "undefined";
    default: return script::toAnsi(script::toStringValue(e, v));
  }
}

class StreamScript : public ::testing::Test {
protected:
  StreamScript() : engine_(script::vm::createEngine(setup())), e(*engine_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &lines_);
  }

  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = (std::filesystem::path(::testing::TempDir()) /
            ("plumex-streams-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             "-" + std::to_string(stamp)))
               .string() +
           kPathSeparator;
    ASSERT_TRUE(makeDirectory(dir_));
    setTemporaryFolder(dir_);
  }
  void TearDown() override {
    // The engine first: its open files (temporary ones too) are closed as
    // it goes, and a system may not remove a folder holding open files.
    engine_.reset();
    removeTree(dir_);
  }

  static script::vm::EngineSetup setup() {
    script::vm::EngineSetup s;
    s.registerClasses = [](script::Engine& engine) {
      script::builtins::registerClassesThroughDate(engine);
      registerStreamClasses(engine);
      script::builtins::registerClassesFromMath(engine);
      binding::registerFunction(engine, "show", [](script::Engine& en, script::ClassRecord&, void*,
                                                   script::Value& result, script::ArgBlock args) {
        en.warn(args.count() > 0 ? describe(en, args[0]) : "(nothing)");
        result = script::Value::undefined();
      });
    };
    return s;
  }

  // The lines the script showed, traced or was warned about, joined by
  // " | "; a failed run ends with its error text.
  std::string run(std::string_view source) {
    lines_.clear();
    if (!script::vm::runText(e, source)) lines_.push_back("error: " + e.errorText());
    std::string out;
    for (const std::string& line : lines_) out += (out.empty() ? "" : " | ") + line;
    return out;
  }

  std::string path(std::string_view name) const { return dir_ + std::string(name); }
  // A path as a script string literal.
  std::string literal(std::string_view name) const {
    std::string out = "\"";
    for (char c : path(name)) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  Bytes readBytes(std::string_view name) const {
    std::ifstream f(path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
  }
  void writeBytes(std::string_view name, std::string_view bytes) const {
    std::ofstream f(path(name), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;
  std::string dir_;

private:
  static void setTemporaryFolder(const std::string& dir) {
#ifdef _WIN32
    _putenv(("TMP=" + dir).c_str());
#else
    setenv("TMP", dir.c_str(), 1);
#endif
  }
  std::vector<std::string> lines_;
};

// A table row: a script and what it shows.
struct Case {
  const char* script;
  const char* shows;
};

inline std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.script; }

} // namespace plumex::hostlib::streams::testing
