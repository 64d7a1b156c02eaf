#pragma once
// An engine with the built-in classes, the streams and the structure
// classes in the runtime's order, and a global show(v) that reports a value
// with its kind.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "hostlib/streams/stream_classes.h"
#include "hostlib/structs/struct_classes.h"
#include "script/builtins/builtins.h"
#include "script_session.h"

namespace plumex::hostlib::structs::testing {

using test::describeValue;
using Case = test::ScriptCase;

// The structure classes' settings, made before the engine that reads them.
struct StructSettingsHolder {
  StructSettings settings_;
};

class StructScript : public ::testing::Test, protected StructSettingsHolder {
protected:
  StructScript() : session_([this](script::Engine& engine) { registerClasses(engine, settings_); }), e(session_.engine()) {}

  static void registerClasses(script::Engine& engine, StructSettings& settings) {
    script::builtins::registerClassesThroughDate(engine);
    streams::registerStreamClasses(engine);
    script::builtins::registerClassesFromMath(engine);
    registerStructClasses(engine, settings);
    test::registerShow<describeValue>(engine);
  }
  // For further engines of the same process.
  static script::vm::EngineSetup setup(StructSettings& settings) {
    script::vm::EngineSetup s;
    s.registerClasses = [&settings](script::Engine& engine) { registerClasses(engine, settings); };
    return s;
  }

  std::string run(std::string_view source) { return session_.run(source); }

  script::Value global(std::string_view name) { return e.global(e.internAnsi(name)); }
  void setGlobal(std::string_view name, const script::Value& v) {
    const script::Atom atom = e.internAnsi(name);
    e.global(atom) = v;
  }

  test::ScriptSession session_;
  script::Engine& e;
};

} // namespace plumex::hostlib::structs::testing
