#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"

namespace plumex::script::builtins {

void registerPortableClasses(Engine& engine) {
  // The runtime's order, less what is not portable: NaN, Infinity and the
  // global functions of the first table (trace among them), Date, Math,
  // RegExp, Array, Boolean, Function, Number, String, Object, then the global
  // functions of the second table.
  registerNumberFunctions(engine);
  registerEscapeFunctions(engine);
  registerTraceFunction(engine);
  registerDateClass(engine);
  registerMathClass(engine);
  registerRegExpClass(engine);
  registerArrayClass(engine);
  registerBooleanClass(engine);
  registerFunctionClass(engine);
  registerNumberClass(engine);
  registerStringClass(engine);
  registerObjectClass(engine);
  registerUriFunctions(engine);
  registerCallFunction(engine);
}

} // namespace plumex::script::builtins
