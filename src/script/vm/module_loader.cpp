#include "script/vm/module_loader.h"

#include <climits>
#include <cstdio>

#include "script/compiler/module_sections.h"
#include "script/compiler/stack_check.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/vm/fused_ops.h"
#include "script/vm/vm_state.h"

namespace plumex::script::vm {

namespace {

using namespace compiler;

constexpr std::string_view kUnimplemented = "Unimplemented Quorv Script bytecode";

[[noreturn]] void fail(Engine& engine, const std::string& detail) {
  raiseError(engine, std::string(kUnimplemented) + ": " + detail);
}

std::string renumbered(std::string_view name, std::uint32_t first) {
  if (!isAnonymousName(name)) return std::string(name);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "@F_%u", anonymousNumber(name) + first);
  return buffer;
}

class Loader {
public:
  Loader(Engine& engine, ModuleImage& image)
      : engine_(engine), image_(image), firstAnonymous_(engine.anonymousFunctionCount),
        poolSizeAtStart_(engine.constants().size()) {}

  CodeRecord* run() {
    try {
      loadConstants();
      CodeRecord* main = loadFunctions();
      if (fresh_) image_.loadedConstants = ModuleImage::LoadedConstants{&engine_, base_, count_};
      return main;
    } catch (...) {
      // The pool keeps nothing of a failed load.
      engine_.constants().resize(poolSizeAtStart_);
      throw;
    }
  }

private:
  void loadConstants() {
    auto& pool = engine_.constants();
    const auto& loaded = image_.loadedConstants;
    if (loaded && loaded->engine == &engine_ && loaded->base + loaded->count <= pool.size()) {
      base_ = loaded->base;
      count_ = loaded->count;
      return;
    }
    const ModuleConstants constants = readConstants(image_);
    if (!constants.error.empty()) raiseError(engine_, std::string(kUnimplemented) + "\r\n");
    fresh_ = true;
    base_ = pool.size();
    count_ = constants.entries.size();
    if (base_ + count_ > static_cast<std::size_t>(INT32_MAX)) raiseError(engine_, "Out of memory");
    for (const ModuleConstant& c : constants.entries) {
      // Appended one by one, so that each is a collector root before the
      // next is made.
      pool.push_back(value(c));
    }
  }

  Value value(const ModuleConstant& c) {
    switch (static_cast<ConstantType>(c.type)) {
    case ConstantType::Null: return Value::null();
    case ConstantType::NaN: return Value::nan();
    case ConstantType::Boolean: return Value::boolean(c.integer != 0);
    case ConstantType::Integer: return Value::integer(c.integer);
    case ConstantType::Float: return Value::number(c.number);
    case ConstantType::Name: return Value::name(engine_.internAnsi(renumbered(c.name, firstAnonymous_)));
    case ConstantType::String:
      return makeStaticString(engine_, engine_.keepText(c.text), static_cast<std::uint32_t>(c.text.size()));
    case ConstantType::RegExp:
      if (!engine_.vm.makeRegExp) raiseError(engine_, "RegExp constants need the RegExp class");
      return engine_.vm.makeRegExp(engine_, c.text, c.flags);
    }
    raiseError(engine_, std::string(kUnimplemented) + "\r\n");
  }

  CodeRecord* loadFunctions() {
    const ModuleFunctions functions = readFunctions(image_);
    if (!functions.error.empty()) fail(engine_, functions.error);
    const ModuleLines lines = readLines(image_);
    if (!lines.error.empty()) raiseError(engine_, kUnimplemented);

    // Every function is verified and translated before any is registered,
    // so that a bad module changes no global.
    std::vector<CodeRecord*> records;
    CodeRecord* main = nullptr;
    for (const ModuleFunction& f : functions.entries) {
      CodeRecord* record = translate(f, lines);
      if (f.isMain()) {
        if (!main) main = record;
      } else {
        records.push_back(record);
      }
    }

    std::vector<Atom> atoms;
    for (CodeRecord* r : records) atoms.push_back(engine_.internAnsi(r->name));
    std::vector<FunctionCell*> cells;
    for (CodeRecord* r : records) cells.push_back(newFunction(engine_, r));
    for (std::size_t i = 0; i < records.size(); ++i) {
      engine_.global(atoms[i]) = Value::function(cells[i]);
      if (isAnonymousName(records[i]->name)) ++engine_.anonymousFunctionCount;
    }
    return main;
  }

  CodeRecord* translate(const ModuleFunction& f, const ModuleLines& lines) {
    const auto body = image_.section(SectionType::Code).subspan(f.offset, f.end - f.offset);
    const StackCheck check = checkStack(body, f.isMain());
    if (!check.ok()) {
      char where[32];
      std::snprintf(where, sizeof where, " at 0x%zX: ", f.offset + check.errorOffset);
      fail(engine_, "\"" + f.name + "\"" + where + check.error);
    }

    // The slot of each instruction boundary, and of the end (the END).
    std::vector<std::int32_t> slotAt(body.size() + 1, -1);
    std::int32_t slots = 0;
    for (std::size_t at = 0; at < body.size();) {
      const DecodedInstruction d = *decodeInstruction(body, at);
      slotAt[at] = slots;
      slots += d.operandClass == OperandClass::None ? 1 : 2;
      at += d.size;
    }
    slotAt[body.size()] = slots;

    CodeRecord* record = engine_.heap().make<CodeRecord>();
    ++vmState(engine_).codeLoads;
    record->name = renumbered(f.name, firstAnonymous_);
    record->maxStack = check.maxStack;
    record->code.reserve(static_cast<std::size_t>(slots) + 1);
    for (std::size_t at = 0; at < body.size();) {
      const DecodedInstruction d = *decodeInstruction(body, at);
      record->code.push_back(static_cast<std::int32_t>(d.op));
      if (d.operandClass != OperandClass::None) record->code.push_back(operand(f, d, at, slotAt));
      at += d.size;
    }
    record->code.push_back(static_cast<std::int32_t>(Op::END));
    fuseInstructions(record->code);

    if (lines.hasSource) record->sourceName = lines.source;
    for (const LineRecord& r : lines.entries) {
      // A record follows its instruction, so the function's own run from
      // just after its first instruction to its end.
      if (r.offset <= f.offset || r.offset > f.end) continue;
      const std::int32_t slot = slotAt[r.offset - f.offset];
      if (slot >= 0) record->lines.push_back({static_cast<std::uint32_t>(slot), r.line});
    }
    engine_.heap().charge(record->byteSize() - sizeof(CodeRecord));
    return record;
  }

  std::int32_t operand(const ModuleFunction& f, const DecodedInstruction& d, std::size_t at,
                       const std::vector<std::int32_t>& slotAt) {
    switch (d.operandClass) {
    case OperandClass::Name:
    case OperandClass::Const: {
      if (d.operand >= static_cast<std::int64_t>(count_))
        fail(engine_, "\"" + f.name + "\" names constant " + std::to_string(d.operand) + " of " +
                          std::to_string(count_));
      const std::size_t index = base_ + static_cast<std::size_t>(d.operand);
      if (d.operandClass == OperandClass::Const) return static_cast<std::int32_t>(index);
      const Value& name = engine_.constants()[index];
      if (!name.is(Kind::Name))
        fail(engine_, "\"" + f.name + "\" uses constant " + std::to_string(d.operand) + " as a name");
      return name.atom();
    }
    case OperandClass::Jump: {
      // The verifier placed every target on a boundary or at the end.
      const std::size_t target = static_cast<std::size_t>(static_cast<std::int64_t>(at + d.size) + d.operand);
      return slotAt[target] - (slotAt[at] + 2);
    }
    default: return static_cast<std::int32_t>(d.operand);
    }
  }

  Engine& engine_;
  ModuleImage& image_;
  const std::uint32_t firstAnonymous_;
  const std::size_t poolSizeAtStart_;
  bool fresh_ = false;
  std::size_t base_ = 0;
  std::size_t count_ = 0;
};

} // namespace

CodeRecord* loadModuleRaising(Engine& engine, ModuleImage& image) { return Loader(engine, image).run(); }

bool loadModule(Engine& engine, ModuleImage& image, CodeRecord** main) {
  CodeRecord* record = nullptr;
  const bool ok = runProtected(engine, [&] { record = loadModuleRaising(engine, image); });
  if (main) *main = ok ? record : nullptr;
  return ok;
}

} // namespace plumex::script::vm
