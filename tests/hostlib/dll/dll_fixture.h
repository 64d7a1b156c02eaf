#pragma once
// An engine with the built-in classes, the streams, the DLL and structure
// classes in the runtime's order, over a platform that records what would
// be called: "test.dll" (also "TEST.DLL", the same module) exports the
// functions of `procedures`; a call runs the test's `onCall`.

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "hostlib/dll/dll_classes.h"
#include "hostlib/structs/native_structs.h"
#include "struct_fixture.h"

namespace plumex::hostlib::dll::testing {

using structs::testing::describe;

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

class DllScript : public ::testing::Test {
protected:
  DllScript()
      : platform_(new RecordingPlatform),
        context_{FailureSink{}, ModuleRegistry(std::unique_ptr<DllPlatform>(platform_))},
        engine_(script::vm::createEngine(setup(context_, settings_))),
        e(*engine_),
        platform(*platform_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &lines_);
    context_.explanations.setWriter([this](std::string_view line) { explanations_.emplace_back(line); });
  }

  static script::vm::EngineSetup setup(DllContext& context, structs::StructSettings& settings) {
    script::vm::EngineSetup s;
    s.registerClasses = [&context, &settings](script::Engine& engine) {
      script::builtins::registerClassesThroughDate(engine);
      streams::registerStreamClasses(engine);
      script::builtins::registerClassesFromMath(engine);
      registerDllClasses(engine, context);
      structs::registerStructClasses(engine, settings);
      binding::registerFunction(engine, "show", [](script::Engine& en, script::ClassRecord&, void*,
                                                   script::Value& result, script::ArgBlock args) {
        en.warn(args.count() > 0 ? describe(en, args[0]) : "(nothing)");
        result = script::Value::undefined();
      });
    };
    return s;
  }

  // What the script showed or was warned about, joined by " | "; a failed
  // run ends with its error text.
  std::string run(std::string_view source) {
    lines_.clear();
    if (!script::vm::runText(e, source)) lines_.push_back("error: " + e.errorText());
    std::string out;
    for (const std::string& line : lines_) out += (out.empty() ? "" : " | ") + line;
    return out;
  }

  // The explanations since the last call.
  std::vector<std::string> explanations() { return std::exchange(explanations_, {}); }

  // The platform is the registry's, which outlives nothing here.
  RecordingPlatform* platform_;
  structs::StructSettings settings_;
  DllContext context_;
  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;
  RecordingPlatform& platform;

private:
  std::vector<std::string> lines_;
  std::vector<std::string> explanations_;
};

} // namespace plumex::hostlib::dll::testing
