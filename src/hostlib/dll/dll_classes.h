#pragma once
// DllParam, which describes a structure parameter or result by its size,
// and Dll, which registers functions of DLLs as script globals (what
// `dllimport` compiles to) and reads native memory at an address.
//
// "fastcall" and "pascal" functions are called as "stdcall": every
// argument goes on the stack, so a function taking arguments in registers
// (register fastcall) cannot be called. Arguments beyond the declared ones
// are ignored. An exception the function leaves unhandled ends the call
// with a runtime error naming the function and the code; the DLL may be
// broken afterwards. What cannot be prevented: a function writing through
// a wrong but valid pointer (past a temporary, into the runtime's memory),
// breaking the registers it must keep or its return address, never
// returning, overflowing its stack, or keeping a temporary's address
// beyond the call.

#include "hostlib/dll/dll_context.h"
#include "script/values/engine.h"

namespace plumex::hostlib::dll {

// DllParam, then Dll. Natively no library loads: registering a function
// gives false, as for a missing DLL.
void registerDllClasses(script::Engine& engine, DllContext& context);

} // namespace plumex::hostlib::dll
