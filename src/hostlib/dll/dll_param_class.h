#pragma once
// DllParam(size, byReference [, structName]): a structure parameter or
// result described by its size (1 byte to 16 MiB).

#include "hostlib/dll/param_types.h"
#include "script/values/engine.h"

namespace plumex::hostlib::dll {

void registerDllParamClass(script::Engine& engine);

// The descriptor of a DllParam (told by its class record); null for any
// other value.
const ParamDescriptor* dllParamOf(const script::Value& v);

} // namespace plumex::hostlib::dll
