// Boolean: the class of the Boolean values. Calling or constructing it
// gives a Boolean, never an object.

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"

namespace plumex::script::builtins {
namespace {

void constructBoolean(Engine&, ClassRecord&, ArgBlock block, Value& result) {
  const binding::Args args(block);
  result = Value::boolean(args.boolean(0, false));
}

void callBoolean(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructBoolean(e, cls, block, result);
}

bool booleanMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock) {
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  const Value me = *static_cast<const Value*>(self);
  if (!me.is(Kind::Boolean)) return false;
  if (atom == kAtomToString) {
    result = makeStaticString(e, me.booleanValue() ? u"true" : u"false");
    return true;
  }
  if (atom == kAtomValueOf) {
    result = me;
    return true;
  }
  return false;
}

} // namespace

void registerBooleanClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Boolean",
                                   .call = callBoolean,
                                   .method = booleanMethod,
                                   .construct = constructBoolean,
                                   .objectText = "[type Function]",
                                   .kinds = {Kind::Boolean}});
}

} // namespace plumex::script::builtins
