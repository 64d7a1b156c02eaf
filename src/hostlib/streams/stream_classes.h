#pragma once
// The byte streams scripts use: FileStream (also the global "Stream") and
// StringStream, with the constants $STREAM_IN, $STREAM_OUT and
// $STREAM_EOF.

#include "script/values/engine.h"

namespace plumex::hostlib::streams {

// Both classes, FileStream first, as the runtime's order has them.
void registerStreamClasses(script::Engine& engine);

void registerFileStreamClass(script::Engine& engine);
void registerStringStreamClass(script::Engine& engine);

} // namespace plumex::hostlib::streams
