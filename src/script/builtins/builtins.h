#pragma once
// Registration routines of the built-in classes and global functions. The
// engine's setup calls them once each, in the engine's registration
// order. Object, Function, Array, Boolean, Number (for Integer, Float and
// NaN) and String also become the classes of their kinds of value.

#include "script/values/engine.h"

namespace plumex::script::builtins {

void registerObjectClass(Engine& engine);
void registerFunctionClass(Engine& engine);
void registerArrayClass(Engine& engine);
// Math also seeds the random generator; Date takes the local time
// zone's offset.
void registerMathClass(Engine& engine);
void registerDateClass(Engine& engine);
void registerBooleanClass(Engine& engine);
void registerNumberClass(Engine& engine);
void registerStringClass(Engine& engine);
// The global "trace".
void registerTraceFunction(Engine& engine);
// The globals NaN and Infinity, parseInt, parseFloat, isNaN, isFinite.
void registerNumberFunctions(Engine& engine);
// escape and unescape.
void registerEscapeFunctions(Engine& engine);
// encodeURI, encodeURIComponent, decodeURI, decodeURIComponent.
void registerUriFunctions(Engine& engine);
// _call.
void registerCallFunction(Engine& engine);

// Every class and global function that needs no window, no movie and
// nothing of Win32, in the engine's registration order: what an engine
// running outside the runtime (quorv, the tests) holds.
void registerPortableClasses(Engine& engine);
// The same in two parts, for hosts whose classes come between them in the
// engine's order (File and Folder, Drive, FileStream, StringStream): up to
// and with Date, and from Math on.
void registerClassesThroughDate(Engine& engine);
void registerClassesFromMath(Engine& engine);
// registerClassesFromMath in two parts, for hosts whose classes come right
// after Object (the registry classes, INI): Math to Object, then the
// global functions that follow Object.
void registerClassesMathToObject(Engine& engine);
void registerFunctionsAfterObject(Engine& engine);

} // namespace plumex::script::builtins
