// Object: the class of every Object value. A table made by the constructor
// is empty, with no "__proto__": it sees its own properties only.

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

bool isUndefinedOrNull(const Value& v) { return v.is(Kind::Undefined) || v.is(Kind::Null); }

void callObject(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  if (args.size() == 0 || (args.size() == 1 && isUndefinedOrNull(args[0])))
    result = Value::object(newTable(e));
  else
    result = toObjectValue(e, args[0]);  // raises for Undefined and Null
}

void constructObject(Engine& e, ClassRecord&, ArgBlock block, Value& result) {
  const Args args(block);
  const Value& first = args[0];
  switch (first.kind) {
    case Kind::Undefined:
    case Kind::Null:
      result = Value::object(newTable(e));
      break;
    case Kind::Boolean: case Kind::Integer: case Kind::String: case Kind::Float:
    case Kind::Array: case Kind::Native: case Kind::Function: case Kind::NaN:
      result = toObjectValue(e, first);
      break;
    default:
      result = first;
      break;
  }
}

bool objectMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock) {
  if (!self) {
    if (atom != kAtomToSource) return binding::classObjectMethod(e, cls, atom, result);
    result = makeStaticString(e, u"new Object()");
    return true;
  }
  switch (atom) {
    case kAtomToSource:
      result = Value::undefined();
      return true;
    case kAtomToString:
      result = makeStaticString(e, u"[object Object]");
      return true;
    case kAtomValueOf:
      result = *static_cast<const Value*>(self);
      return true;
    default:
      return false;
  }
}

} // namespace

void registerObjectClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Object",
                                   .call = callObject,
                                   .method = objectMethod,
                                   .property = binding::declineProperties,
                                   .construct = constructObject,
                                   .objectText = "[type Function]",
                                   .kinds = {Kind::Object}});
}

} // namespace plumex::script::builtins
