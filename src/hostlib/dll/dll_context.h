#pragma once
// What the DLL classes of every engine in a process share: the loaded
// modules and where failures are explained. It outlives the engines.

#include "hostlib/dll/failure_sink.h"
#include "hostlib/dll/module_registry.h"

namespace plumex::hostlib::dll {

struct DllContext {
  FailureSink explanations;
  ModuleRegistry modules;
};

} // namespace plumex::hostlib::dll
