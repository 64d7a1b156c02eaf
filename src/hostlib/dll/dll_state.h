#pragma once
// What the DLL classes of one engine find at call time: the process's
// context and the class of registered functions. Kept by a global scripts
// cannot name, so that replacing "Dll" changes nothing for native code.

#include <memory>
#include <string>

#include "hostlib/dll/dll_context.h"
#include "script/values/engine.h"

namespace plumex::hostlib::dll {

struct DllState {
  DllContext* context = nullptr;
  script::ClassRecord* functionClass = nullptr;
};

void keepDllState(script::Engine& engine, std::unique_ptr<DllState> state);
// Null in an engine without the classes.
DllState* dllState(script::Engine& engine);
// One line to the explanation sink, if the engine has one.
void explainFailure(script::Engine& engine, const std::string& line);

} // namespace plumex::hostlib::dll
