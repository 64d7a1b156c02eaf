#pragma once
// An engine with the built-in classes and global functions registered in
// the engine's order, running script text: each case is a line of script
// and what its value shows as.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_text.h"
#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::testing {

class ScriptTest : public ::testing::Test {
protected:
  ScriptTest() : engine_(vm::createEngine(setup())), e(*engine_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &warnings);
  }

  static vm::EngineSetup setup() {
    vm::EngineSetup s;
    s.registerClasses = builtins::registerPortableClasses;
    return s;
  }

  // How a value shows: strings quoted, numbers with their kind, arrays as
  // their shown elements in brackets.
  std::string show(const Value& v) {
    switch (v.kind) {
      case Kind::String: return "\"" + utf16ToAnsi(v.asString()->view()) + "\"";
      case Kind::Integer: return "int " + std::to_string(v.integerValue());
      case Kind::Float: return "float " + toAnsi(toStringValue(e, v));
      case Kind::Array: {
        std::string s = "[";
        const ArrayRecord& a = *v.asArray();
        for (std::uint64_t i = 0; i < a.length; ++i) {
          if (i) s += ", ";
          const Value* element = a.get(i);
          s += element ? show(*element) : "_";
        }
        return s + "]";
      }
      default: return toAnsi(toStringValue(e, v));
    }
  }

  // The value of the script's last expression, shown; the error text when
  // the run fails.
  std::string run(std::string_view source) {
    if (!vm::runText(e, source)) return "error: " + e.errorText();
    return show(e.result);
  }

  std::vector<std::string> takeWarnings() { return std::exchange(warnings, {}); }

  struct Case {
    const char* source;
    const char* shows;
  };
  void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(run(c.source), c.shows) << c.source;
  }

  std::unique_ptr<Engine> engine_;
  Engine& e;
  std::vector<std::string> warnings;
};

} // namespace plumex::script::testing
