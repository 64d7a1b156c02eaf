#pragma once
// The DataFile class: saves global variables into an INI file and loads
// them back. Its objects carry no data; every method also works on the
// class object.

#include "script/values/engine.h"

namespace plumex::hostlib::fs {

void registerDataFileClass(script::Engine& engine);

} // namespace plumex::hostlib::fs
