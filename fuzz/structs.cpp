// Structure descriptions from anywhere: the first byte picks the
// alignment, the rest up to the first NUL is the description, and what
// follows is the description of the global "T" that member types may name.
// A layout must fit its limits; every member is then read, written and
// read again as scripts would, and the structure materialised.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/structs/native_structs.h"
#include "hostlib/structs/struct_classes.h"
#include "platform/ansi_text.h"
#include "script/builtins/builtins.h"
#include "script/values/factory.h"
#include "script/vm/engine_interface.h"
#include "script/vm/property_access.h"

using namespace plumex;
using namespace plumex::hostlib::structs;

namespace {

// Every member of a layout lies inside it, aligned as the layout says.
void checkLayout(const StructLayout& layout, int depth) {
  FUZZ_CHECK(depth <= kMaxNesting);
  FUZZ_CHECK(layout.size <= kMaxStructSize);
  if (layout.alignment > 0) FUZZ_CHECK(layout.size % layout.alignment == 0);
  for (const StructMember& m : layout.members) {
    FUZZ_CHECK(std::uint64_t{m.offset} + m.size <= layout.size);
    FUZZ_CHECK(m.size == std::uint64_t{m.elementSize} * m.elements());
    FUZZ_CHECK(m.isPointer() ? m.elementSize == kPointerSize : true);
    FUZZ_CHECK((m.nested != nullptr) == m.isStructure());
    if (m.nested) {
      FUZZ_CHECK(m.nested->size == m.elementSize);
      checkLayout(*m.nested, depth + 1);
    }
  }
}

// Reads, writes and reads again each member, and elements around the ends
// of arrays, through the engine's own property and index access.
void touchMembers(script::Engine& e, const script::Value& s, const StructLayout& layout, int depth) {
  using script::vm::getIndex;
  using script::vm::getProperty;
  using script::vm::setIndex;
  using script::vm::setProperty;
  const script::Value values[] = {script::Value::integer(-1), script::Value::number(2.5), script::makeString(e, "x"), s};
  for (const StructMember& m : layout.members) {
    const script::Value v = getProperty(e, s, m.atom);
    if (m.isArray()) {
      for (std::int64_t i : {std::int64_t{-1}, std::int64_t{0}, std::int64_t{m.elements()} - 1, std::int64_t{m.elements()}})
        setIndex(e, v, script::Value::integer(i), getIndex(e, v, script::Value::integer(i)));
      setIndex(e, v, script::Value::integer(0), values[m.offset % 4]);
    } else if (m.isStructure() && depth < 3) {
      touchMembers(e, v, *m.nested, depth + 1);
    }
    setProperty(e, s, m.atom, values[m.offset % 4]);
    getProperty(e, s, m.atom);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > fuzz::kMaxInput) return 0;
  const std::int32_t alignments[] = {1, 2, 4, 8, 16, 24};
  const std::int32_t alignment = alignments[data[0] % 6];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t nul = rest.find('\0');
  const std::string_view description = rest.substr(0, nul);
  const std::string_view named = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

  StructSettings settings;
  script::vm::EngineSetup setup;
  setup.registerClasses = [&](script::Engine& engine) {
    script::builtins::registerClassesThroughDate(engine);
    hostlib::streams::registerStreamClasses(engine);
    script::builtins::registerClassesFromMath(engine);
    registerStructClasses(engine, settings);
  };
  settings.alignment = alignment;
  auto engine = script::vm::createEngine(setup);
  FUZZ_CHECK(engine);
  script::Engine& e = *engine;
  FUZZ_CHECK(script::runProtected(e, [&] {
    const script::Atom t = e.internAnsi("T");
    const script::Value text = script::makeString(e, named);
    e.global(t) = text;
    const auto layout = readLayout(e, ansiToUtf16(description), alignment);
    if (!layout) return;
    checkLayout(*layout, 0);
    const script::Value s = makeStruct(e, layout, std::vector<std::uint8_t>(layout->size, 0xA5));
    FUZZ_CHECK(layoutOf(s) == layout);
    e.push(s);  // a root while members are touched
    touchMembers(e, s, *layout, 0);
    Materialiser m;
    const std::uint32_t copy = m.copyOf(s);
    FUZZ_CHECK(m.resolve(copy).size() >= layout->size);
  }));
  return 0;
}
