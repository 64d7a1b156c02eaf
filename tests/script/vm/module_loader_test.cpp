// Loading compiled modules into an engine: code records, the constant
// pool, globals, @F_ renumbering, and loads that fail without a trace.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "codegen_listing.h"
#include "module_builders.h"
#include "script/compiler/lexer.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/values/string_record.h"
#include "script/vm/fused_ops.h"
#include "script/vm/module_loader.h"

namespace plumex::script::vm {
namespace {

using namespace compiler;
using namespace compiler::testing;

constexpr std::int32_t slot(Op op) { return static_cast<std::int32_t>(op); }

// A module from raw sections, in the writer's order.
Bytes assemble(const Bytes& code, const Bytes& constants, const Bytes& functions, const Bytes& lines = {}) {
  Bytes out = {'Q', 'S', '1', 'b'};
  auto word = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const Bytes* sections[] = {&code, &constants, &functions, &lines};
  std::uint32_t offset = 56;
  for (std::uint32_t type = 0; type < 4; ++type) {
    word(type);
    word(offset);
    word(static_cast<std::uint32_t>(sections[type]->size()));
    offset += static_cast<std::uint32_t>(sections[type]->size());
  }
  word(0xFFFFFFFF);
  for (const Bytes* s : sections) out.insert(out.end(), s->begin(), s->end());
  return out;
}

class Loader : public ::testing::Test {
protected:
  void SetUp() override { engine = Engine::create(); }

  Value& global(std::string_view name) { return engine->global(engine->internAnsi(name)); }
  CodeRecord* function(std::string_view name) {
    const Value& v = global(name);
    return v.is(Kind::Function) ? static_cast<CodeRecord*>(v.asFunction()->code()) : nullptr;
  }
  Atom atom(std::string_view name) { return engine->internAnsi(name); }

  std::unique_ptr<Engine> engine;
};

TEST_F(Loader, TranslatesEachFunctionIntoSlots) {
  const InstructionList list = {
      functionLabel("f"), ins(Op::LDSLOT, 1), ins(Op::ADD2), ins(Op::ADJUSTARGS, 3),
      jumpLabel(1), ins(Op::LDSLOT, 2), jump(Op::JFALSE, 2), ins(Op::PUSHCONST, "s"), ins(Op::PUSHINT, -5),
      ins(Op::ROT, -2), ins(Op::POPN, 2), jump(Op::JMP, 1),
      jumpLabel(2), ins(Op::LDGLOBAL, "g"), ins(Op::RETURN),
      functionLabel(".main"), ins(Op::RESERVE, 2), pushFloat(1.5), ins(Op::SLIDE, 2),
  };
  engine->constants().resize(5);  // earlier modules' constants
  ModuleImage m = image(list);
  CodeRecord* main = nullptr;
  ASSERT_TRUE(loadModule(*engine, m, &main)) << engine->errorText();

  CodeRecord* f = function("f");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->name, "f");
  // Jumps count slots from the slot after their operand; the operand of a
  // constant is its pool index; byte operands are sign-extended.
  const std::vector<std::int32_t> fCode = {
      slot(Op::LDSLOT), 1, slot(Op::ADD2), slot(Op::ADJUSTARGS), 3,
      slot(Op::LDSLOT), 2, slot(Op::JFALSE), 10, slot(Op::PUSHCONST), 5, slot(Op::PUSHINT), -5,
      slot(Op::ROT), -2, slot(Op::POPN), 2, slot(Op::JMP), -14,
      slot(Op::LDGLOBAL), atom("g"), slot(Op::RETURN), slot(Op::END)};
  // The prologue runs fused; the slots after its first stay as loaded.
  EXPECT_EQ(f->code[0], static_cast<std::int32_t>(FusedOp::PROLOGUE));
  EXPECT_EQ(unfusedCode(f->code), fCode);
  EXPECT_EQ(f->maxStack, 2u + 3u);
  EXPECT_EQ(f->sourceName, "unknown");
  EXPECT_TRUE(f->lines.empty());

  // ".main" is returned, not registered.
  ASSERT_TRUE(main);
  EXPECT_EQ(main->name, ".main");
  EXPECT_EQ(main->code, (std::vector<std::int32_t>{slot(Op::RESERVE), 2, slot(Op::PUSHCONST), 7, slot(Op::SLIDE), 2,
                                                   slot(Op::END)}));
  EXPECT_EQ(main->maxStack, 3u);
  EXPECT_TRUE(global(".main").is(Kind::Undefined));

  // The constants follow what the pool held.
  const auto& pool = engine->constants();
  ASSERT_EQ(pool.size(), 8u);
  ASSERT_TRUE(pool[5].is(Kind::String));
  EXPECT_TRUE(pool[5].asString()->isStatic());
  EXPECT_EQ(pool[5].asString()->view(), u"s");
  EXPECT_TRUE(pool[6].is(Kind::Name));
  EXPECT_EQ(pool[6].atom(), atom("g"));
  EXPECT_TRUE(pool[7].is(Kind::Float));
  EXPECT_EQ(pool[7].floatValue(), 1.5);
}

TEST_F(Loader, TakesLinePairsInsideEachFunction) {
  const InstructionList list = {
      functionLabel("f"), onLine(ins(Op::PUSH0), 3), onLine(ins(Op::LDGLOBAL, "x"), 3), onLine(ins(Op::ADD), 4),
      onLine(ins(Op::RETURN), 4),
      functionLabel(".main"), onLine(ins(Op::PUSHNULL), 7), onLine(ins(Op::NOP), 8)};
  ModuleImage m = image(list, true, "t.qvs");
  CodeRecord* main = nullptr;
  ASSERT_TRUE(loadModule(*engine, m, &main)) << engine->errorText();
  CodeRecord* f = function("f");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->sourceName, "t.qvs");
  // (slot after the instruction, line): PUSH0 ends at slot 1, ADD at 4.
  ASSERT_EQ(f->lines.size(), 2u);
  EXPECT_EQ(f->lines[0].slot, 1u);
  EXPECT_EQ(f->lines[0].line, 3);
  EXPECT_EQ(f->lines[1].slot, 4u);
  EXPECT_EQ(f->lines[1].line, 4);
  // The pair after .main's last instruction lands on the appended END.
  ASSERT_EQ(main->lines.size(), 2u);
  EXPECT_EQ(main->lines[1].slot, 2u);
  EXPECT_EQ(main->lines[1].line, 8);
  EXPECT_EQ(main->code[main->lines[1].slot], slot(Op::END));
}

TEST_F(Loader, RegistersEveryFunctionBeforeMainRuns) {
  const auto g = generate("f(); function f() {}");
  ASSERT_TRUE(g.ok) << g.messages;
  ModuleImage m = image(g.code);
  CodeRecord* main = nullptr;
  ASSERT_TRUE(loadModule(*engine, m, &main)) << engine->errorText();
  ASSERT_TRUE(function("f"));
  ASSERT_TRUE(main);
  EXPECT_NE(std::find(main->code.begin(), main->code.end(), atom("f")), main->code.end());
}

TEST_F(Loader, NumbersAnonymousFunctionsOnFromEarlierLoads) {
  // Each module calls its own @F_0 by name.
  const InstructionList list = {
      functionLabel("@F_0"), ins(Op::PUSH1), ins(Op::RETURN),
      functionLabel("@F_1"), ins(Op::PUSH2), ins(Op::RETURN),
      functionLabel(".main"), ins(Op::PUSH0), ins(Op::LDGLOBAL, "@F_0"), ins(Op::CALL)};
  ModuleImage first = image(list), second = image(list);
  CodeRecord* mains[2] = {};
  ASSERT_TRUE(loadModule(*engine, first, &mains[0])) << engine->errorText();
  ASSERT_TRUE(loadModule(*engine, second, &mains[1])) << engine->errorText();
  EXPECT_EQ(engine->anonymousFunctionCount, 4u);
  for (const char* name : {"@F_0", "@F_1", "@F_2", "@F_3"}) {
    ASSERT_TRUE(function(name)) << name;
    EXPECT_EQ(function(name)->name, name);
  }
  EXPECT_EQ(function("@F_2")->code[0], slot(Op::PUSH1));
  EXPECT_EQ(mains[0]->code[2], atom("@F_0"));
  EXPECT_EQ(mains[1]->code[2], atom("@F_2"));
}

TEST_F(Loader, LoadsAnImagesConstantsOnce) {
  ModuleImage m = image({functionLabel(".main"), ins(Op::PUSHCONST, "a"), ins(Op::PUSHCONST, 99)});
  CodeRecord* main = nullptr;
  ASSERT_TRUE(loadModule(*engine, m, &main));
  const std::size_t size = engine->constants().size();
  const std::vector<std::int32_t> first = main->code;
  ASSERT_TRUE(loadModule(*engine, m, &main));
  EXPECT_EQ(engine->constants().size(), size);
  EXPECT_EQ(main->code, first);
}

TEST_F(Loader, TakesEveryConstantType) {
  // Null, Boolean and NaN the writer never makes; a RegExp goes through
  // the RegExp class's hook.
  const Bytes constants = {1, 2, 1, 2, 0, 13, 3, 0x80, 0, 0, 0, 0, 0, 0, 1, 11, 6, 0, 0, 0, 4, 'a', 0, 0xAC, 0x20};
  const Bytes code = {98, 0, 0, 0, 0, 98, 0, 0, 0, 1, 98, 0, 0, 0, 2, 98, 0, 0, 0, 3, 98, 0, 0, 0, 4, 98, 0, 0, 0, 5,
                      0x65, 5};
  const Bytes functions = {0, 0, 0, 1, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0};
  auto m = ModuleImage::read(assemble(code, constants, functions));
  ASSERT_TRUE(m);
  engine->vm.makeRegExp = [](Engine& e, std::u16string_view pattern, int flags) {
    return copyString(e, std::u16string(pattern) + u"/" + static_cast<char16_t>('0' + flags));
  };
  ASSERT_TRUE(loadModule(*engine, *m)) << engine->errorText();
  const auto& pool = engine->constants();
  ASSERT_EQ(pool.size(), 6u);
  EXPECT_TRUE(pool[0].is(Kind::Null));
  EXPECT_TRUE(pool[1].is(Kind::Boolean) && pool[1].booleanValue());
  EXPECT_TRUE(pool[2].is(Kind::Boolean) && !pool[2].booleanValue());
  EXPECT_TRUE(pool[3].is(Kind::NaN));
  EXPECT_TRUE(pool[4].is(Kind::Integer));
  EXPECT_EQ(pool[4].integerValue(), static_cast<std::int64_t>(0x8000000000000001ull));
  ASSERT_TRUE(pool[5].is(Kind::String));
  EXPECT_EQ(pool[5].asString()->view(), u"a\u20AC/6");
}

TEST_F(Loader, AFailedLoadLeavesTheEngineAsItWas) {
  const Bytes mainCode = {0x5D, 0x58, 0, 0, 0, 0, 0x34};  // PUSH0, LDGLOBAL #0, CALL
  const Bytes fAndMain = {0x5D, 0x33, 0x5D, 0x58, 0, 0, 0, 0, 0x34};
  const Bytes table = {0, 0, 0, 2, 'f', 0, 0, 0, 0, 0, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 2};
  const Bytes nameG = {10, 'g', 0};
  struct Case {
    const char* what;
    Bytes module;
    const char* error;
  };
  const std::string unimplemented = "Runtime error: Unimplemented Quorv Script bytecode";
  const Case cases[] = {
      {"an unknown constant type", assemble(fAndMain, {10, 'g', 0, 7}, table),
       "Runtime error: Unimplemented Quorv Script bytecode\r\n"},
      {"a constant cut short", assemble(fAndMain, {10, 'g', 0, 3, 0, 0}, table),
       "Runtime error: Unimplemented Quorv Script bytecode\r\n"},
      {"an unknown line record", assemble(fAndMain, nameG, table, {1, 0, 0, 0, 1, 'x', 3}),
       "Runtime error: Unimplemented Quorv Script bytecode"},
      {"a line record cut short", assemble(fAndMain, nameG, table, {2, 0, 0, 0, 1}),
       "Runtime error: Unimplemented Quorv Script bytecode"},
      {"code the verifier refuses", assemble({0x5D, 0x33, 0x5D, 0x58, 0, 0, 0, 0, 0x6B}, nameG, table),
       "Runtime error: Unimplemented Quorv Script bytecode: \".main\" at 0x8: HALT is reserved"},
      {"a name that is not a Name", assemble(fAndMain, {4, 0, 0, 0, 0}, table),
       "Runtime error: Unimplemented Quorv Script bytecode: \".main\" uses constant 0 as a name"},
      {"a missing constant", assemble(fAndMain, {}, table),
       "Runtime error: Unimplemented Quorv Script bytecode: \".main\" names constant 0 of 0"},
      {"functions out of order",
       assemble(fAndMain, nameG, {0, 0, 0, 2, 'f', 0, 0, 0, 0, 2, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0}),
       "Runtime error: Unimplemented Quorv Script bytecode: function code offset out of order at offset 10"},
      {"a function table cut short", assemble(mainCode, nameG, {0, 0, 0, 2, 'f', 0, 0, 0}),
       "Runtime error: Unimplemented Quorv Script bytecode: function entry cut short at offset 4"},
      {"a RegExp without the RegExp class", assemble(fAndMain, {10, 'g', 0, 11, 0, 0, 0, 0, 0}, table),
       "Runtime error: RegExp constants need the RegExp class"},
  };
  for (const Case& c : cases) {
    auto m = ModuleImage::read(c.module);
    ASSERT_TRUE(m) << c.what;
    const std::size_t pool = engine->constants().size();
    EXPECT_FALSE(loadModule(*engine, *m)) << c.what;
    EXPECT_EQ(engine->errorText(), c.error) << c.what;
    EXPECT_EQ(engine->constants().size(), pool) << c.what;
    EXPECT_FALSE(m->loadedConstants) << c.what;
    EXPECT_TRUE(global("f").is(Kind::Undefined)) << c.what;
  }
  // The same tables load once the fault is gone.
  auto good = ModuleImage::read(assemble(fAndMain, nameG, table));
  ASSERT_TRUE(loadModule(*engine, *good)) << engine->errorText();
  EXPECT_TRUE(function("f"));
}

TEST(FusedRuns, OnlyTheFirstSlotOfARunChanges) {
  // Runs start at every instruction, overlapping ones included, and are
  // matched against the code as loaded; a run cut short by the end of the
  // code, or a counter stepping another local, is left alone.
  auto S = [](auto op) { return static_cast<std::int32_t>(op); };
  const std::vector<std::int32_t> loaded = {
      S(Op::LDLOCAL), 0, S(Op::LDLOCAL), 1, S(Op::MUL),            // MUL_LL, then MUL_LOCAL
      S(Op::LDLOCAL), 2, S(Op::LDLOCAL), 3, S(Op::EQ),             // LDLOCAL2: no EQ form
      S(Op::LDSLOT), 4, S(Op::LT), S(Op::JFRAW), 9,                // LT_SLOT_JF, then LT_JF
      S(Op::PUSHCONST), 7, S(Op::MOD),                             // MOD_CONST
      S(Op::LDLOCAL), 5, S(Op::PUSH1), S(Op::ADD), S(Op::STLOCAL), 5,  // INCLOCAL
      S(Op::LDLOCAL), 5, S(Op::PUSH1), S(Op::ADD), S(Op::STLOCAL), 6,  // not a counter
      S(Op::STRICTNE), S(Op::JFRAW), -20,                          // STRICTNE_JF
      S(Op::LDLOCAL), 1, S(Op::LDLOCAL), 2, S(Op::GE), S(Op::JFRAW), 3,  // GE_LL_JF
      S(Op::LDLOCAL), 1, S(Op::LDSLOT), 1, S(Op::ADD2),            // no run: not a prologue
      S(Op::LDLOCAL), 2};
  std::vector<std::int32_t> code = loaded;
  fuseInstructions(code);
  std::vector<std::int32_t> expected = loaded;
  expected[0] = S(FusedOp::MUL_LL);
  expected[2] = S(FusedOp::MUL_LOCAL);
  expected[5] = S(FusedOp::LDLOCAL2);
  expected[10] = S(FusedOp::LT_SLOT_JF);
  expected[12] = S(FusedOp::LT_JF);
  expected[15] = S(FusedOp::MOD_CONST);
  expected[18] = S(FusedOp::INCLOCAL);
  expected[30] = S(FusedOp::STRICTNE_JF);
  expected[33] = S(FusedOp::GE_LL_JF);
  expected[35] = S(FusedOp::GE_LOCAL_JF);
  expected[37] = S(FusedOp::GE_JF);
  EXPECT_EQ(code, expected);
  EXPECT_EQ(unfusedCode(code), loaded);
}

} // namespace
} // namespace plumex::script::vm
