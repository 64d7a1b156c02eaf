#pragma once
// An engine with the built-in classes, the streams, the DLL and structure
// classes in the runtime's order, over a platform that records what would
// be called: "test.dll" (also "TEST.DLL", the same module) exports the
// functions of `procedures`; a call runs the test's `onCall`.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostlib/dll/dll_classes.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/structs/native_structs.h"
#include "hostlib/structs/struct_classes.h"
#include "script/builtins/builtins.h"
#include "script_session.h"

namespace plumex::hostlib::dll::testing {

using test::describeValue;

struct RecordingPlatform final : DllPlatform {
  std::map<std::string, std::uintptr_t> procedures{{"f", 0x1000}, {"g", 0x2000}};
  std::function<CallOutcome(std::span<const std::uint32_t>, structs::Materialiser&)> onCall;
  std::vector<std::uint32_t> words;
  std::uint32_t flags = 0;
  std::uintptr_t calledProcedure = 0;
  int calls = 0;
  int loads = 0;
  int unloads = 0;

  std::optional<Module> load(const std::string& name) override {
    if (name != "test.dll" && name != "TEST.DLL") return std::nullopt;
    ++loads;
    return Module{7, "c:\\test.dll"};
  }
  std::uintptr_t procedure(std::uintptr_t, const std::string& name) override {
    const auto it = procedures.find(name);
    return it == procedures.end() ? 0 : it->second;
  }
  void unload(std::uintptr_t) override { ++unloads; }
  CallOutcome call(std::uintptr_t procedure, std::span<const std::uint32_t> w, std::uint32_t f,
                   structs::Materialiser& memory) override {
    ++calls;
    calledProcedure = procedure;
    words.assign(w.begin(), w.end());
    flags = f;
    return onCall ? onCall(w, memory) : CallOutcome{};
  }
};

// The platform and the context, made before the engine that uses them.
struct DllContextHolder {
  DllContextHolder()
      : platform_(new RecordingPlatform),
        context_{FailureSink{}, ModuleRegistry(std::unique_ptr<DllPlatform>(platform_))} {}

  // The platform is the registry's, which outlives nothing here.
  RecordingPlatform* platform_;
  structs::StructSettings settings_;
  DllContext context_;
};

class DllScript : public ::testing::Test, protected DllContextHolder {
protected:
  DllScript()
      : session_([this](script::Engine& engine) {
          script::builtins::registerClassesThroughDate(engine);
          streams::registerStreamClasses(engine);
          script::builtins::registerClassesFromMath(engine);
          registerDllClasses(engine, context_);
          structs::registerStructClasses(engine, settings_);
          test::registerShow<describeValue>(engine);
        }),
        e(session_.engine()),
        platform(*platform_) {
    context_.explanations.setWriter([this](std::string_view line) { explanations_.emplace_back(line); });
  }

  std::string run(std::string_view source) { return session_.run(source); }

  // The explanations since the last call.
  std::vector<std::string> explanations() { return std::exchange(explanations_, {}); }

  // Before the engine, which may explain a failure as it ends.
  std::vector<std::string> explanations_;
  test::ScriptSession session_;
  script::Engine& e;
  RecordingPlatform& platform;
};

} // namespace plumex::hostlib::dll::testing
