#pragma once
// Every class this build has, registered in one engine in the runtime's
// order. The runtime, the script runner and test fixtures all use it, so
// that scripts see the same classes wherever they run.

#include "container/option_groups.h"
#include "hostlib/dll/dll_context.h"
#include "hostlib/structs/struct_classes.h"
#include "script/values/engine.h"

namespace plumex::hostlib {

// What the classes reach outside the engine. It outlives the engines it is
// registered in.
struct HostContext {
  container::OptionGroups optionGroups;
  structs::StructSettings structs;
  dll::DllContext dll;
};

void registerHostClasses(script::Engine& engine, HostContext& context);

} // namespace plumex::hostlib
