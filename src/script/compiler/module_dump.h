#pragma once
// A readable listing of a compiled module, for quorvc --dump, tests and
// people looking into a module: the header, the constants, the function
// table, the line table and each function disassembled, with the
// verifier's verdict on it.

#include <string>

#include "script/compiler/module_image.h"

namespace plumex::script::compiler {

struct ModuleListing {
  std::string text;
  // False when a table is damaged or a function fails the verifier (the
  // listing then says where).
  bool ok = true;
};

ModuleListing dumpModule(const ModuleImage& image);

} // namespace plumex::script::compiler
