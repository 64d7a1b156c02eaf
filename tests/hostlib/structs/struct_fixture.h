#pragma once
// An engine with the built-in classes, the streams and the structure
// classes in the runtime's order, and a global show(v) that reports a value
// with its kind.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/class_binding.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/structs/struct_classes.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::hostlib::structs::testing {

// 3 (Integer), 1.5f (Float), 'text' (String, \xNN outside printable
// ASCII), true, null, undefined, <TEXT> (natives, by their text).
inline std::string describe(script::Engine& e, const script::Value& v) {
  using script::Kind;
  switch (v.kind) {
    case Kind::Integer: return std::to_string(v.integerValue());
    case Kind::Float: return script::toAnsi(script::toStringValue(e, v)) + "f";
    case Kind::String: {
      std::string out = "'";
      for (char16_t c : v.asString()->view()) {
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          char hex[16];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
          out += hex;
        }
      }
      return out + "'";
    }
    case Kind::Native: return "<" + script::toAnsi(script::toStringValue(e, v)) + ">";
    case Kind::Boolean: return v.booleanValue() ? "true" : "false";
    case Kind::Null: return "null";
    case Kind::Undefined: return "undefined";
    case Kind::NaN: return "NaN";
    default: return script::toAnsi(script::toStringValue(e, v));
  }
}

class StructScript : public ::testing::Test {
protected:
  StructScript() : engine_(script::vm::createEngine(setup(settings_))), e(*engine_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &lines_);
  }

  static script::vm::EngineSetup setup(StructSettings& settings) {
    script::vm::EngineSetup s;
    s.registerClasses = [&settings](script::Engine& engine) {
      script::builtins::registerClassesThroughDate(engine);
      streams::registerStreamClasses(engine);
      script::builtins::registerClassesFromMath(engine);
      registerStructClasses(engine, settings);
      binding::registerFunction(engine, "show", [](script::Engine& en, script::ClassRecord&, void*,
                                                   script::Value& result, script::ArgBlock args) {
        en.warn(args.count() > 0 ? describe(en, args[0]) : "(nothing)");
        result = script::Value::undefined();
      });
    };
    return s;
  }

  // The lines the script showed or was warned about, joined by " | "; a
  // failed run ends with its error text.
  std::string run(std::string_view source) {
    lines_.clear();
    if (!script::vm::runText(e, source)) lines_.push_back("error: " + e.errorText());
    std::string out;
    for (const std::string& line : lines_) out += (out.empty() ? "" : " | ") + line;
    return out;
  }

  script::Value global(std::string_view name) { return e.global(e.internAnsi(name)); }
  void setGlobal(std::string_view name, const script::Value& v) {
    const script::Atom atom = e.internAnsi(name);
    e.global(atom) = v;
  }

  // Before the engine, which it outlives.
  StructSettings settings_;
  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;

private:
  std::vector<std::string> lines_;
};

// A table row: a script and what it shows.
struct Case {
  const char* script;
  const char* shows;
};

inline std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.script; }

} // namespace plumex::hostlib::structs::testing
