#include "hostlib/dll/dll_param_class.h"

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/dll/dll_state.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::dll {
namespace {

using script::Kind;
using script::Value;

struct DllParamData {
  ParamDescriptor descriptor;
};

bool dllParamMethod(script::Engine& e, script::ClassRecord& cls, void* self, script::Atom atom, Value& result,
                    script::ArgBlock) {
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  if (atom != script::kAtomToString) return false;
  result = binding::classObjectText(e, cls);
  return true;
}

void explain(script::Engine& e, const std::string& why) { explainFailure(e, "DllParam: " + why); }

void constructDllParam(script::Engine& e, script::ClassRecord& cls, script::ArgBlock block, Value& result) {
  result = Value::null();
  const binding::Args args(block);
  const auto size = args.integer(0);
  const auto byReference = args.integer(1);
  if (!size || !byReference) return explain(e, "size and byReference must be Integers");
  if (*size < 1 || *size > kMaxParamSize)
    return explain(e, "size " + std::to_string(*size) + " is not from 1 to " + std::to_string(kMaxParamSize));
  auto data = std::make_unique<DllParamData>();
  data->descriptor.byReference = *byReference != 0;
  data->descriptor.kind = ParamKind::Structure;
  data->descriptor.size = static_cast<std::uint32_t>(*size);
  data->descriptor.typeName = "DllParam(" + std::to_string(*size) + ")";
  if (const Value* name = args.ofKind(2, Kind::String)) data->descriptor.structName = name->asString()->view();
  result = binding::newInstance(e, cls, std::move(data));
}

void callDllParam(script::Engine& e, script::ClassRecord& cls, void*, Value& result, script::ArgBlock block) {
  constructDllParam(e, cls, block, result);
}

} // namespace

void registerDllParamClass(script::Engine& engine) {
  binding::registerClass(engine, {.name = "DllParam",
                                  .call = callDllParam,
                                  .method = dllParamMethod,
                                  .construct = constructDllParam,
                                  .finalizeInstance = binding::deleteInstance<DllParamData>});
}

const ParamDescriptor* dllParamOf(const Value& v) {
  if (!v.is(Kind::Native) || !v.asNative()->isLive() || v.asNative()->classRecord()->call != callDllParam)
    return nullptr;
  const auto* data = static_cast<const DllParamData*>(v.asNative()->instance());
  return data ? &data->descriptor : nullptr;
}

} // namespace plumex::hostlib::dll
