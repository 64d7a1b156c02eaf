// StructArray: the elements of an array member of a Struct, by Integer
// index; its text is the member's bytes up to the first zero, so that a
// char array reads as text.

#include <algorithm>
#include <string_view>

#include "binding/class_binding.h"
#include "hostlib/structs/struct_views.h"

namespace plumex::hostlib::structs {
namespace {

using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Value;

bool arrayMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock) {
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  if (atom != script::kAtomToString) return false;
  const auto& view = *static_cast<const ArrayView*>(self);
  const auto bytes = view.block->bytes().subspan(view.base, view.member->size);
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  result = script::makeString(
      e, std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(end - bytes.begin())));
  return true;
}

void arrayElement(Engine& e, ClassRecord&, void* self, std::int64_t index, bool set, Value& io) {
  const auto& view = *static_cast<const ArrayView*>(self);
  if (set) writeElement(e, view, index, io);
  else io = readElement(e, view, index);
}

// Views are made only by reading an array member.
void constructArray(Engine&, ClassRecord&, ArgBlock, Value& result) { result = Value::null(); }
void callArray(Engine&, ClassRecord&, void*, Value& result, ArgBlock) { result = Value::null(); }

} // namespace

ClassRecord& registerStructArrayClass(Engine& engine) {
  ClassRecord& cls = binding::registerClass(engine, {.name = "StructArray",
                                                     .call = callArray,
                                                     .method = arrayMethod,
                                                     .property = binding::declineProperties,
                                                     .construct = constructArray,
                                                     .finalizeInstance = binding::deleteInstance<ArrayView>,
                                                     .markInstance = binding::markInstance<ArrayView>});
  cls.element = arrayElement;
  return cls;
}

} // namespace plumex::hostlib::structs
