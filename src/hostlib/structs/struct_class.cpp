// Struct: a C structure laid out in native memory from a description, its
// members read and written as properties.

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/structs/native_memory.h"
#include "hostlib/structs/struct_classes.h"
#include "hostlib/structs/struct_views.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::structs {
namespace {

using binding::Args;
using binding::members;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

enum Member { kFromPointer, kAlign, kStructSize };
constexpr std::string_view kMembers[] = {"fromPointer", "align", "structSize"};

std::shared_ptr<const StructLayout> layoutFrom(Engine& e, const Value* description) {
  const StructClasses* classes = structClasses(e);
  if (!description || !classes) return nullptr;
  return readLayout(e, description->asString()->view(), classes->settings->alignment);
}

// fromPointer(description, address): the structure's bytes copied from
// the address (its low 32 bits), guarded.
Value fromPointer(Engine& e, const Args& args) {
  const auto address = args.integer(1);
  if (!address) return Value::null();
  const auto layout = layoutFrom(e, args.ofKind(0, Kind::String));
  if (!layout) return Value::null();
  auto bytes = copyNativeMemory(static_cast<std::uint32_t>(*address), layout->size);
  return bytes ? makeStructOver(e, layout, std::move(*bytes)) : Value::null();
}

bool structMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  if (members(cls).find(atom) == kFromPointer) {
    result = fromPointer(e, Args(block));
    return true;
  }
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  if (atom != script::kAtomToString) return false;
  result = binding::classObjectText(e, cls);
  return true;
}

// The structure's own members come first: a member named "align" or
// "structSize" hides the class's property of that name.
bool structProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  const auto* view = static_cast<const StructView*>(self);
  if (view) {
    if (const StructMember* m = view->layout->find(atom)) {
      if (set) writeMember(e, *view, *m, io);
      else io = readMember(e, *view, *m);
      return true;
    }
  }
  switch (members(cls).find(atom)) {
    case kAlign:
      if (StructClasses* classes = structClasses(e)) {
        if (!set) io = Value::integer(classes->settings->alignment);
        else if (io.is(Kind::Integer) && isValidAlignment(io.integerValue()))
          classes->settings->alignment = static_cast<std::int32_t>(io.integerValue());
      }
      return true;
    case kStructSize:
      if (!view) return false;
      if (!set) io = Value::integer(view->layout->size);
      return true;
    default: return false;
  }
}

void constructStruct(Engine& e, ClassRecord&, ArgBlock block, Value& result) {
  const auto layout = layoutFrom(e, Args(block).ofKind(0, Kind::String));
  result = layout ? makeStructOver(e, layout, std::vector<std::uint8_t>(layout->size)) : Value::null();
}

void callStruct(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructStruct(e, cls, block, result);
}

} // namespace

const StructView* structViewOf(const Value& v) {
  if (!v.is(Kind::Native) || !v.asNative()->isLive()) return nullptr;
  if (v.asNative()->classRecord()->property != structProperty) return nullptr;
  return static_cast<const StructView*>(v.asNative()->instance());
}

void registerStructClasses(Engine& engine, StructSettings& settings) {
  const ClassRecord& structClass = binding::registerClass(engine, {.name = "Struct",
                                                                   .members = kMembers,
                                                                   .call = callStruct,
                                                                   .method = structMethod,
                                                                   .property = structProperty,
                                                                   .construct = constructStruct,
                                                                   .finalizeInstance = binding::deleteInstance<StructView>,
                                                                   .markInstance = binding::markInstance<StructView>});
  const ClassRecord& arrayClass = registerStructArrayClass(engine);
  auto classes = std::make_unique<StructClasses>();
  classes->structClass = engine.global(members(structClass).className());
  classes->arrayClass = engine.global(members(arrayClass).className());
  classes->settings = &settings;
  keepStructClasses(engine, std::move(classes));
}

} // namespace plumex::hostlib::structs
