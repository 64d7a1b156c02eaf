#include "portable_classes.h"

#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"

namespace plumex::tools {

void registerPortableClasses(script::Engine& engine) {
  namespace builtins = script::builtins;
  // The runtime's order, less what is not portable: NaN, Infinity and the
  // global functions of the first table (trace among them), Date, Math,
  // RegExp, Array, Boolean, Function, Number, String, Object, then the global
  // functions of the second table.
  builtins::registerNumberFunctions(engine);
  builtins::registerEscapeFunctions(engine);
  builtins::registerTraceFunction(engine);
  builtins::registerDateClass(engine);
  builtins::registerMathClass(engine);
  builtins::registerRegExpClass(engine);
  builtins::registerArrayClass(engine);
  builtins::registerBooleanClass(engine);
  builtins::registerFunctionClass(engine);
  builtins::registerNumberClass(engine);
  builtins::registerStringClass(engine);
  builtins::registerObjectClass(engine);
  builtins::registerUriFunctions(engine);
  builtins::registerCallFunction(engine);
}

} // namespace plumex::tools
