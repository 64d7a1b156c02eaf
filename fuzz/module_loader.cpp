// Compiled modules over arbitrary bytes: modules come from packaged
// resources and from .qsc files users pass around. Reading, listing,
// verifying and loading into an engine never crash; a load that succeeds
// leaves code records the virtual machine can run without checks of its
// own: every jump lands on an opcode, every constant and atom exists.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "script/compiler/module_dump.h"
#include "script/compiler/module_image.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/vm/fused_ops.h"
#include "script/vm/module_loader.h"

using namespace plumex::script;
using namespace plumex::script::compiler;

namespace {

void checkRecord(Engine& engine, const vm::CodeRecord& r) {
  // Fusion changes only first slots of runs: the code as loaded must hold.
  const std::vector<std::int32_t> code = vm::unfusedCode(r.code);
  std::vector<std::int32_t> fused = code;
  vm::fuseInstructions(fused);
  FUZZ_CHECK(fused == r.code);
  FUZZ_CHECK(!code.empty() && code.back() == static_cast<std::int32_t>(Op::END));
  std::vector<bool> opcodeAt(code.size(), false);
  for (std::size_t i = 0; i < code.size();) {
    const OpInfo* info = opInfo(code[i]);
    FUZZ_CHECK(info && code[i] != static_cast<std::int32_t>(Op::HALT));
    opcodeAt[i] = true;
    i += info->operand == OperandClass::None ? 1 : 2;
    FUZZ_CHECK(i <= code.size());
  }
  for (std::size_t i = 0; i < code.size(); i += opInfo(code[i])->operand == OperandClass::None ? 1 : 2) {
    const std::int32_t operand = opInfo(code[i])->operand == OperandClass::None ? 0 : code[i + 1];
    switch (opInfo(code[i])->operand) {
    case OperandClass::Jump: {
      const std::int64_t target = static_cast<std::int64_t>(i) + 2 + operand;
      FUZZ_CHECK(target >= 0 && target < static_cast<std::int64_t>(code.size()) &&
                 opcodeAt[static_cast<std::size_t>(target)]);
      break;
    }
    case OperandClass::Const:
      FUZZ_CHECK(operand >= 0 && static_cast<std::size_t>(operand) < engine.constants().size());
      break;
    case OperandClass::Name:
      FUZZ_CHECK(operand >= 0 && static_cast<std::size_t>(operand) < engine.atoms().size());
      break;
    default: break;
    }
  }
  for (const vm::LinePair& p : r.lines) FUZZ_CHECK(p.slot < code.size() && opcodeAt[p.slot]);
}

Value regexpAsText(Engine& engine, std::u16string_view pattern, int) { return copyString(engine, pattern); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  auto image = ModuleImage::read(data, size);
  if (!image) return 0;
  const ModuleListing listing = dumpModule(*image);
  FUZZ_CHECK(!listing.text.empty());

  auto engine = Engine::create();
  FUZZ_CHECK(engine);
  engine->vm.makeRegExp = regexpAsText;
  const std::size_t atomsBefore = engine->atoms().size();
  vm::CodeRecord* main = nullptr;
  if (!vm::loadModule(*engine, *image, &main)) {
    FUZZ_CHECK(engine->errorText().rfind("Runtime error: ", 0) == 0);
    FUZZ_CHECK(engine->constants().empty() && engine->anonymousFunctionCount == 0);
    return 0;
  }
  // What the listing finds fault with, the loader refuses.
  FUZZ_CHECK(listing.ok);
  if (main) checkRecord(*engine, *main);
  for (std::size_t a = atomsBefore; a < engine->atoms().size(); ++a) {
    const Value& v = engine->global(static_cast<Atom>(a));
    if (v.is(Kind::Function)) checkRecord(*engine, *static_cast<vm::CodeRecord*>(v.asFunction()->code()));
  }
  // A second load takes the constants already in the pool.
  const std::size_t pool = engine->constants().size();
  FUZZ_CHECK(vm::loadModule(*engine, *image, &main));
  FUZZ_CHECK(engine->constants().size() == pool);
  return 0;
}
