#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"

namespace plumex::script::builtins {

void registerClassesThroughDate(Engine& engine) {
  // The runtime's order, less what is not portable: NaN, Infinity and the
  // global functions of the first table (trace among them), Date, (host
  // classes), Math, RegExp, Array, Boolean, Function, Number, String,
  // Object, then the global functions of the second table.
  registerNumberFunctions(engine);
  registerEscapeFunctions(engine);
  registerTraceFunction(engine);
  registerDateClass(engine);
}

void registerClassesFromMath(Engine& engine) {
  registerClassesMathToObject(engine);
  registerFunctionsAfterObject(engine);
}

void registerClassesMathToObject(Engine& engine) {
  registerMathClass(engine);
  registerRegExpClass(engine);
  registerArrayClass(engine);
  registerBooleanClass(engine);
  registerFunctionClass(engine);
  registerNumberClass(engine);
  registerStringClass(engine);
  registerObjectClass(engine);
}

void registerFunctionsAfterObject(Engine& engine) {
  registerUriFunctions(engine);
  registerCallFunction(engine);
}

void registerPortableClasses(Engine& engine) {
  registerClassesThroughDate(engine);
  registerClassesFromMath(engine);
}

} // namespace plumex::script::builtins
