#include "hostlib/structs/native_structs.h"

#include "hostlib/structs/struct_views.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::structs {

using script::Value;

std::int32_t structAlignment(script::Engine& engine) {
  const StructClasses* classes = structClasses(engine);
  return classes ? classes->settings->alignment : kDefaultAlignment;
}

std::shared_ptr<const StructLayout> namedLayout(script::Engine& engine, std::u16string_view name) {
  const auto atom = engine.atoms().find(name);
  if (!atom) return nullptr;
  const Value& v = engine.global(*atom);
  if (!v.is(script::Kind::String)) return nullptr;
  // The text stays where it is while globals move: it is the string's.
  const std::u16string_view description = v.asString()->view();
  return readLayout(engine, description, structAlignment(engine));
}

std::shared_ptr<const StructLayout> layoutOf(const Value& v) {
  const StructView* view = structViewOf(v);
  return view ? view->layout : nullptr;
}

std::span<std::uint8_t> structMemory(const Value& v) {
  const StructView* view = structViewOf(v);
  return view ? view->bytes() : std::span<std::uint8_t>();
}

Value makeStruct(script::Engine& engine, std::shared_ptr<const StructLayout> layout,
                 std::span<const std::uint8_t> bytes) {
  if (!layout || bytes.size() != layout->size) return Value::null();
  return makeStructOver(engine, std::move(layout), {bytes.begin(), bytes.end()});
}

} // namespace plumex::hostlib::structs
