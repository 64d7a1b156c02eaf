#include "hostlib/dll/dll_state.h"

#include "binding/class_binding.h"

namespace plumex::hostlib::dll {
namespace {

constexpr std::string_view kKeeperGlobal = "DLL classes for native code";

} // namespace

void keepDllState(script::Engine& engine, std::unique_ptr<DllState> state) {
  script::ClassRecord& cls = binding::registerClass(
      engine, {.name = kKeeperGlobal, .finalizeInstance = binding::deleteInstance<DllState>});
  const script::Value keeper = binding::newInstance(engine, cls, std::move(state));
  engine.global(engine.internAnsi(kKeeperGlobal)) = keeper;
}

DllState* dllState(script::Engine& engine) {
  const script::Value& keeper = engine.global(engine.internAnsi(kKeeperGlobal));
  if (!keeper.is(script::Kind::Native) || !keeper.asNative()->isLive()) return nullptr;
  return static_cast<DllState*>(keeper.asNative()->instance());
}

void explainFailure(script::Engine& engine, const std::string& line) {
  if (const DllState* state = dllState(engine)) state->context->explanations.report(line);
}

} // namespace plumex::hostlib::dll
