#include "hostlib/structs/struct_views.h"

#include "binding/class_binding.h"
#include "hostlib/streams/string_stream.h"
#include "script/values/conversions.h"

namespace plumex::hostlib::structs {
namespace {

using script::Engine;
using script::Kind;
using script::Value;

// A global that scripts cannot name.
constexpr std::string_view kKeeperGlobal = "Struct classes for native code";

template <class T>
Value newView(Engine& e, const Value& classObject, T view) {
  if (!classObject.is(Kind::Native)) return Value::null();
  return binding::newInstance(e, *classObject.asNative()->classRecord(), std::make_unique<T>(std::move(view)));
}

// What a pointer element takes from a script: pointers to integers and
// characters a Boolean, an Integer, a String or a StringStream; "Boolean*"
// a Boolean; "float*" and "double*" a Float; pointers to structures a
// Struct; "pointer" anything.
bool accepts(std::uint32_t code, const Value& v) {
  switch (code & ~static_cast<std::uint32_t>(kPointer)) {
    case 0: return true;
    case kBoolean: return v.is(Kind::Boolean);
    case kFloat:
    case kDouble: return v.is(Kind::Float);
    case kStructure: return structViewOf(v) != nullptr;
    default:
      return v.is(Kind::Boolean) || v.is(Kind::Integer) || v.is(Kind::String) ||
             streams::stringStreamContent(v).has_value();
  }
}

// One element of a member, `at` bytes into the block.
Value readAt(Engine& e, const std::shared_ptr<StructBlock>& block, const StructMember& m, std::uint32_t at) {
  if (m.isPointer()) return block->pointer(at);
  if (m.isStructure()) {
    const StructClasses* classes = structClasses(e);
    return classes ? newView(e, classes->structClass, StructView{block, m.nested, at}) : Value::null();
  }
  return readScalar(block->bytes().subspan(at), m.code);
}

// The block comes by value and the caller keeps `m`'s layout: converting
// the value may run script code that drops every view of the structure.
void writeAt(Engine& e, std::shared_ptr<StructBlock> block, const StructMember& m, std::uint32_t at,
             const Value& v) {
  if (m.isPointer()) {
    if (accepts(m.code, v)) block->setPointer(at, v);
    return;
  }
  if (m.isStructure()) return;  // written member by member, through its view
  const Value number = script::toNumberValue(e, v);
  storeNumber(block->bytes().subspan(at), m.code, number);
}

std::optional<std::uint32_t> elementAt(const ArrayView& view, std::int64_t i) {
  if (i < 0 || i >= view.member->elements()) return std::nullopt;
  return view.base + static_cast<std::uint32_t>(i) * view.member->elementSize;
}

} // namespace

StructClasses* structClasses(Engine& engine) {
  const Value& keeper = engine.global(engine.internAnsi(kKeeperGlobal));
  if (!keeper.is(Kind::Native) || !keeper.asNative()->isLive()) return nullptr;
  return static_cast<StructClasses*>(keeper.asNative()->instance());
}

void keepStructClasses(Engine& engine, std::unique_ptr<StructClasses> classes) {
  script::ClassRecord& cls =
      binding::registerClass(engine, {.name = kKeeperGlobal,
                                      .finalizeInstance = binding::deleteInstance<StructClasses>,
                                      .markInstance = binding::markInstance<StructClasses>});
  const Value keeper = binding::newInstance(engine, cls, std::move(classes));
  const script::Atom atom = engine.internAnsi(kKeeperGlobal);
  engine.global(atom) = keeper;
}

Value makeStructOver(Engine& engine, std::shared_ptr<const StructLayout> layout, std::vector<std::uint8_t> bytes) {
  const StructClasses* classes = structClasses(engine);
  if (!classes) return Value::null();
  // Collections pace themselves by what the heap holds; the memory counts.
  engine.heap().charge(bytes.size());
  auto block = std::make_shared<StructBlock>(std::move(bytes));
  return newView(engine, classes->structClass, StructView{std::move(block), std::move(layout), 0});
}

Value readMember(Engine& engine, const StructView& view, const StructMember& member) {
  const std::uint32_t at = view.base + member.offset;
  if (!member.isArray()) return readAt(engine, view.block, member, at);
  const StructClasses* classes = structClasses(engine);
  if (!classes) return Value::null();
  return newView(engine, classes->arrayClass,
                 ArrayView{view.block, std::shared_ptr<const StructMember>(view.layout, &member), at});
}

void writeMember(Engine& engine, const StructView& view, const StructMember& member, const Value& v) {
  const std::shared_ptr<const StructLayout> keep = view.layout;
  writeAt(engine, view.block, member, view.base + member.offset, v);
}

Value readElement(Engine& engine, const ArrayView& view, std::int64_t i) {
  const auto at = elementAt(view, i);
  return at ? readAt(engine, view.block, *view.member, *at) : Value::undefined();
}

void writeElement(Engine& engine, const ArrayView& view, std::int64_t i, const Value& v) {
  const auto at = elementAt(view, i);
  if (!at) return;
  const std::shared_ptr<const StructMember> keep = view.member;
  writeAt(engine, view.block, *keep, *at, v);
}

} // namespace plumex::hostlib::structs
