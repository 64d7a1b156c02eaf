#pragma once
// A registered DLL function: the global a script calls, holding the
// procedure, its module and its signature.

#include <cstdint>

#include "hostlib/dll/call_frame.h"
#include "hostlib/dll/dll_context.h"
#include "script/values/engine.h"

namespace plumex::hostlib::dll {

struct ImportedFunction {
  DllContext* context = nullptr;
  ModuleLease module;
  std::uintptr_t procedure = 0;
  FunctionSignature signature;
};

// The class of registered functions: only a call hook and a finaliser.
// Installed under a name scripts cannot write.
script::ClassRecord& registerImportedFunctionClass(script::Engine& engine);

// Whether v is a registered function.
bool isImportedFunction(const script::Value& v);

// The runtime error text of a call the function ended with an exception.
std::string exceptionText(const std::string& function, std::uint32_t code);

} // namespace plumex::hostlib::dll
