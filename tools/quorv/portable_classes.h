#pragma once
// The classes an engine gets when it runs outside the runtime: the built-in
// classes and those host classes that need no window, no movie and nothing
// of Win32.

#include "script/values/engine.h"

namespace plumex::tools {

// Registers them in the engine's registration order (the order the runtime
// registers every class in, with the others left out).
void registerPortableClasses(script::Engine& engine);

} // namespace plumex::tools
