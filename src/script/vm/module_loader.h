#pragma once
// Loading a compiled module into an engine: its constants go to the
// engine's constant pool (once per image), each function is verified and
// translated into a code record, and every function except ".main" becomes
// a Function value in the global of its name. Running ".main" is the
// virtual machine's part.
//
// "@F_<n>" names (anonymous and nested functions, in the function table
// and in Name constants) become "@F_<n + c>", c being the engine's count
// of such functions when the load starts; the count then advances by one
// for each of them, so separately compiled modules never replace each
// other's.
//
// Errors, as "Runtime error: ..." in the engine's error buffer:
// - "Unimplemented Quorv Script bytecode\r\n": an unknown constant type or
//   a constant cut short;
// - "Unimplemented Quorv Script bytecode": an unknown line-table tag or a
//   record cut short;
// - "Unimplemented Quorv Script bytecode: ..." and what is wrong: a damaged
//   function table, code the verifier rejects (naming the function and
//   the code offset), an operand naming a missing or wrong constant;
// - "RegExp constants need the RegExp class" while Engine::vm.makeRegExp
//   is not set;
// - "Out of memory".
// A failed load registers no function and leaves the constant pool and the
// @F_ count as they were.

#include "script/compiler/module_image.h"
#include "script/values/engine.h"
#include "script/vm/code_record.h"

namespace plumex::script::vm {

// Inside a protected entry the caller holds: raises on failure. Gives the
// code record of ".main", or null when the module has none. The record is
// not yet reachable from any root: run it (or root it) before the next
// collection.
CodeRecord* loadModuleRaising(Engine& engine, compiler::ModuleImage& image);

// The same as a protected entry of its own: false on failure, with the
// text in the error buffer.
bool loadModule(Engine& engine, compiler::ModuleImage& image, CodeRecord** main = nullptr);

} // namespace plumex::script::vm
