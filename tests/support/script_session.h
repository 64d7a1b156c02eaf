#pragma once
// An engine for host-class tests: the classes a test registers, the lines
// the script traces, shows or is warned about, and a value's description
// for tables of cases.

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "binding/class_binding.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::test {

// 3 (Integer), 1.5f (Float), 'text' (String, \xNN outside printable
// ASCII), true, null, undefined, NaN, <TEXT> (natives, by their text).
inline std::string describeValue(script::Engine& e, const script::Value& v) {
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

// A global show(v) writing describe(v) as a line ("(nothing)" without an
// argument). `describe` is a plain function: natives keep no state.
template <std::string (*describe)(script::Engine&, const script::Value&)>
void registerShow(script::Engine& engine) {
  binding::registerFunction(engine, "show", [](script::Engine& en, script::ClassRecord&, void*,
                                               script::Value& result, script::ArgBlock args) {
    en.trace(args.count() > 0 ? describe(en, args[0]) : "(nothing)");
    result = script::Value::undefined();
  });
}

class ScriptSession {
public:
  explicit ScriptSession(std::function<void(script::Engine&)> registerClasses) {
    script::vm::EngineSetup setup;
    setup.registerClasses = std::move(registerClasses);
    engine_ = script::vm::createEngine(setup);
    engine_->setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &lines_);
  }

  script::Engine& engine() { return *engine_; }
  // Ends the engine early, closing what its objects hold open.
  void end() { engine_.reset(); }

  // The lines of one run joined by " | "; a failed run ends with its error
  // text.
  std::string run(std::string_view source) {
    lines_.clear();
    if (!script::vm::runText(*engine_, source)) lines_.push_back("error: " + engine_->errorText());
    std::string out;
    for (const std::string& line : lines_) out += (out.empty() ? "" : " | ") + line;
    return out;
  }

private:
  // Before the engine, whose sink writes here until it is gone.
  std::vector<std::string> lines_;
  std::unique_ptr<script::Engine> engine_;
};

// A table row: a script and what it shows.
struct ScriptCase {
  const char* script;
  const char* shows;
};

inline std::ostream& operator<<(std::ostream& os, const ScriptCase& c) { return os << c.script; }

} // namespace plumex::test
