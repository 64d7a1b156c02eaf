// The bytecode verifier: what it refuses, the stack depth it works out,
// and that it accepts everything the code generator makes.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "codegen_listing.h"
#include "module_builders.h"
#include "script/compiler/module_sections.h"
#include "script/compiler/stack_check.h"

namespace plumex::script::compiler {
namespace {

using namespace testing;

constexpr std::uint8_t op(Op o) { return static_cast<std::uint8_t>(o); }

// The start of a function with two parameters: slots 0 to 3.
const Bytes kPrologue = {op(Op::LDSLOT), 1, op(Op::ADD2), op(Op::ADJUSTARGS), 4};

Bytes withPrologue(Bytes body) {
  body.insert(body.begin(), kPrologue.begin(), kPrologue.end());
  return body;
}

StackCheck check(const Bytes& code, bool isMain = false) { return checkStack(code, isMain); }

TEST(StackCheck, RefusesCodeTheMachineCouldNotRunSafely) {
  struct Case {
    const char* what;
    Bytes code;
    bool isMain;
    std::size_t offset;
    const char* error;
  };
  const std::uint8_t push0 = op(Op::PUSH0), ret = op(Op::RETURN), jmp = op(Op::JMP);
  const Case cases[] = {
      {"a byte outside the set", {push0, 0x20, ret}, true, 1, "unknown opcode 32"},
      {"an opcode past the set", {push0, 114, ret}, true, 1, "unknown opcode 114"},
      {"HALT", {push0, op(Op::HALT), ret}, true, 1, "HALT is reserved"},
      {"an operand cut short", {push0, op(Op::PUSHINT), 0, 0}, true, 1, "the operand runs past the end"},
      {"a jump into an operand", {jmp, 0, 0, 0, 1, op(Op::PUSHINT), 0, 0, 0, 7, ret}, true, 0,
       "jump target 6 is inside an instruction"},
      {"a jump before the start", {push0, jmp, 0xFF, 0xFF, 0xFF, 0xF0}, true, 1,
       "jump target -10 is outside the function"},
      {"a jump past the end", {push0, jmp, 0, 0, 0, 1}, true, 1, "jump target 7 is outside the function"},
      {"a try handler into the prologue", withPrologue({op(Op::TRY), 0xFF, 0xFF, 0xFF, 0xF8, push0, ret}), false, 5,
       "jump target 2 is in the prologue"},
      {"a loop back to the prologue", withPrologue({jmp, 0xFF, 0xFF, 0xFF, 0xF6}), false, 5,
       "jump target 0 is in the prologue"},
      {"a loop that grows the stack", {push0, jmp, 0xFF, 0xFF, 0xFF, 0xFA}, true, 1, "differ in stack depth"},
      {"an underflow", {op(Op::POP), push0, ret}, true, 0, "POP needs 1 on the stack, finds 0"},
      {"SWAP of one", {push0, op(Op::SWAP), ret}, true, 1, "SWAP needs 2"},
      {"ROT deeper than the stack", {push0, push0, op(Op::ROT), 0xFD, ret}, true, 2, "ROT needs 3"},
      {"SLIDE of all", {push0, push0, op(Op::SLIDE), 2, ret}, true, 2, "SLIDE needs 3"},
      {"SETINDEX of two", {push0, push0, op(Op::SETINDEX), push0, ret}, true, 2, "SETINDEX needs 3"},
      {"a call without a callee", {push0, op(Op::CALL), ret}, true, 1, "CALL needs 2"},
      {"RETURN of nothing", {op(Op::NOP), ret}, true, 1, "RETURN needs 1"},
      {"the end with an empty stack", {push0, op(Op::POP)}, true, 2, "ends with nothing on the stack"},
      {"a local beyond the stack", {op(Op::LDLOCAL), 0, 0, ret}, true, 0, "LDLOCAL 0: there are 0 local slots"},
      {"a store into the value it stores", {op(Op::RESERVE), 0, 1, push0, op(Op::STLOCAL), 0, 1, push0, ret}, true, 4,
       "STLOCAL 1: there are 1 local slots"},
      {"a negative local", {op(Op::RESERVE), 0, 1, op(Op::LDLOCAL), 0xFF, 0xFF, ret}, true, 3, "LDLOCAL -1"},
      {"an argument without a prologue", {op(Op::LDSLOT), 2, ret}, false, 0, "LDSLOT 2: the frame has slots 0 to 1"},
      {"an argument past the prologue", withPrologue({op(Op::STSLOT), 4, push0, ret}), false, 5,
       "STSLOT 4: the frame has slots 0 to 3"},
      {"a prologue in .main", withPrologue({push0, ret}), true, 3, "ADJUSTARGS outside the prologue"},
      {"ADJUSTARGS later on", withPrologue({push0, op(Op::ADJUSTARGS), 9, push0, ret}), false, 6,
       "ADJUSTARGS outside the prologue"},
      {"a negative reserve", {op(Op::RESERVE), 0xFF, 0xFF, push0, ret}, true, 0, "RESERVE with a negative count"},
      {"a negative POPN", {push0, op(Op::POPN), 0xFF, ret}, true, 1, "POPN with a negative count"},
      {"a negative SLIDEW", {push0, op(Op::SLIDEW), 0xFF, 0xFF, 0xFF, 0xFF, ret}, true, 1, "SLIDEW with a negative"},
      {"LEAVETRY without TRY", {op(Op::LEAVETRY), 1, push0, ret}, true, 0, "LEAVETRY 1 with 0 try guards open"},
      {"RETURN inside try", {op(Op::TRY), 0, 0, 0, 2, push0, ret, push0, ret}, true, 6, "RETURN with a try guard open"},
      {"the end inside try", {op(Op::TRY), 0, 0, 0, 0, push0}, true, 6, "ends with a try guard open"},
  };
  for (const Case& c : cases) {
    const StackCheck r = check(c.code, c.isMain);
    EXPECT_FALSE(r.ok()) << c.what;
    EXPECT_NE(r.error.find(c.error), std::string::npos) << c.what << ": " << r.error;
    EXPECT_EQ(r.errorOffset, c.offset) << c.what << ": " << r.error;
  }
}

// The largest depth on any path, plus what ADJUSTARGS may insert.
TEST(StackCheck, WorksOutTheMostStackAFunctionUses) {
  struct Case {
    const char* what;
    InstructionList list;
    std::uint32_t maxStack;
    int frameSlots;
  };
  const Case cases[] = {
      {"the reference program",
       {functionLabel(".main"), ins(Op::PUSH0), ins(Op::LDGLOBAL, "f"), ins(Op::CALL), ins(Op::POPN, 3),
        ins(Op::PUSHTRUE), ins(Op::RETURN)},
       3, 2},
      {"two parameters",
       {functionLabel("add"), ins(Op::LDSLOT, 1), ins(Op::ADD2), ins(Op::ADJUSTARGS, 4), ins(Op::LDSLOT, 2),
        ins(Op::LDSLOT, 3), ins(Op::ADD), ins(Op::RETURN)},
       2 + 4, 4},
      {"locals under a deeper branch",
       {functionLabel(".main"), ins(Op::RESERVE, 10), ins(Op::LDLOCAL, 9), jump(Op::JFALSE, 1), ins(Op::PUSH0),
        ins(Op::PUSH1), ins(Op::PUSH2), ins(Op::POPN, 3), jumpLabel(1), ins(Op::PUSHUNDEF)},
       13, 2},
      {"a try handler one above its TRY",
       {functionLabel(".main"), ins(Op::PUSH0), ins(Op::PUSH0), jump(Op::TRY, 1), ins(Op::PUSHNULL), ins(Op::THROW),
        jumpLabel(1), ins(Op::SLIDE, 2)},
       3, 2},
      {"a wide SLIDEW",
       {functionLabel(".main"), ins(Op::RESERVE, 300), ins(Op::PUSH0), ins(Op::SLIDEW, 300)},
       301, 2},
  };
  for (const Case& c : cases) {
    const ModuleImage m = image(c.list);
    const StackCheck r = checkStack(m.section(SectionType::Code), c.list.front().text == ".main");
    ASSERT_TRUE(r.ok()) << c.what << ": " << r.error;
    EXPECT_EQ(r.maxStack, c.maxStack) << c.what;
    EXPECT_EQ(r.frameSlots, c.frameSlots) << c.what;
    EXPECT_TRUE(r.depthsAgree) << c.what;
  }
}

// try/finally as the format's documentation lays it out: the finally part
// is entered with a false flag, or with the exception under a true flag,
// and the flag's JFRAW separates the paths again.
class TryLayout {
public:
  InstructionList list{functionLabel(".main")};

  void call(const char* name) {
    add({ins(Op::PUSH0), ins(Op::LDGLOBAL, name), ins(Op::CALL), ins(Op::POPN, 3)});
  }
  void tryFinally(const std::function<void()>& body, const std::function<void()>& finally) {
    const int handler = next_++, join = next_++, end = next_++;
    add({jump(Op::TRY, handler)});
    body();
    add({ins(Op::LEAVETRY, 1), ins(Op::PUSHFALSE), jump(Op::JMP, join), jumpLabel(handler), ins(Op::PUSHTRUE),
         jumpLabel(join)});
    finally();
    add({jump(Op::JFRAW, end), ins(Op::THROW), jumpLabel(end)});
  }
  // for (k in o) body, keeping the collection and the counter on the stack.
  void forIn(const std::function<void()>& body) {
    const int head = next_++, step = next_++, done = next_++;
    add({ins(Op::LDGLOBAL, "o"), ins(Op::DUP), ins(Op::PUSH0), ins(Op::SWAP), ins(Op::PUSH0), jumpLabel(head),
         ins(Op::FORINNEXT), jump(Op::JFRAW, done), ins(Op::STGLOBAL, "k")});
    body();
    add({jumpLabel(step), ins(Op::PUSH1), ins(Op::ADD), ins(Op::DUP), ins(Op::ROT, -3), ins(Op::DUP),
         ins(Op::ROT, 4), ins(Op::SWAP), jump(Op::JMP, head), jumpLabel(done), ins(Op::POP), ins(Op::POPN, 2)});
  }
  StackCheck check() {
    add({ins(Op::PUSHUNDEF)});
    const ModuleImage m = image(list);
    return checkStack(m.section(SectionType::Code), true);
  }

private:
  void add(std::initializer_list<Instruction> more) { list.insert(list.end(), more); }
  int next_ = 1;
};

TEST(StackCheck, FollowsTheFlagOutOfAFinallyPart) {
  {
    TryLayout t;
    t.tryFinally([&] { t.call("f"); }, [&] { t.call("g"); });
    const StackCheck r = t.check();
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_FALSE(r.depthsAgree);
    EXPECT_EQ(r.maxStack, 2u + 3u);  // the exception and its flag, then a call
  }
  {
    // Nested in the finally part, with a loop that keeps values on the
    // stack, inside a loop: no path's depth grows.
    TryLayout t;
    t.forIn([&] {
      t.tryFinally([&] { t.call("f"); },
                   [&] { t.tryFinally([&] { t.call("g"); }, [&] { t.forIn([&] { t.call("h"); }); }); });
    });
    const StackCheck r = t.check();
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.maxStack, 2u + 2u + 2u + 2u + 3u);
  }
  {
    // The flag decides: a false flag never reaches the THROW, whose path
    // here would leave the stack empty at the end.
    TryLayout t;
    t.list.push_back(ins(Op::PUSHFALSE));
    t.list.push_back(jump(Op::JFRAW, 99));
    t.list.push_back(ins(Op::POP));
    t.list.push_back(jumpLabel(99));
    const StackCheck r = t.check();
    EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.maxStack, 1u);
  }
}

// Everything the code generator makes passes, with one depth per
// instruction.
TEST(StackCheck, AcceptsWhatTheCodeGeneratorMakes) {
  std::string args, elements;
  for (int i = 0; i < 125; ++i) args += (i ? ", " : "") + std::to_string(i);
  for (int i = 0; i < 300; ++i) elements += (i ? ", " : "") + std::to_string(i);
  const std::string programs[] = {
      "function add(a, b) { return a + b; } add(1, 2);",
      "function f() { g(); function g() {} } f();",
      "function f(a) { var s = 0; for (var i = 0; i < a; i++) { if (i % 2) continue; s += i; } return s; }",
      "function f() { return arguments.length + arguments[0]; }",
      "x = 0; do { x++; } while (x < 3); while (x) { x--; if (x == 1) break; }",
      "outer: for (var i = 0; i < 3; i++) { for (var j = 0; j < 3; j++) { continue outer; } }",
      "for (k in o) { break; } lbl: for (k in o) { for (m in o) { break lbl; } continue; }",
      "switch (x) { case 1: a(); case 2: b(); break; default: c(); } switch (y) {}",
      "function f(o) { with (o) { for (k in o) { if (k) return k; } g(); } }",
      "try { a(); } catch (e if e == 2) { b(); } catch (e) { c(); } finally { d(); }",
      "try { throw 1; } finally { try { f(); } catch (e) { g(); } finally { for (k in o) h(); } }",
      "function f() { while (c) { try { try { break; } finally { g(); } } catch (e) { continue; } } }",
      "function f() { for (k in o) { try { switch (k) { case 1: return 1; default: break; } } finally { g(); } } }",
      "a = [" + elements + "]; f(" + args + "); o = {a: 1, 'b': 2, 3: [ , 4]};",
      "x = a ? b : c; y = a && b || !c; z = -x + ~y; delete o.p; delete o[1]; v = typeof w; new F(1).g(2);",
      "function f(a) { a++; --a; a.b += 1; a[0] -= 2; var l = 1; l *= 3; delete l; delete a; return this; }",
      "s = 'caf\xE9' + /x+/gi + 1.5 + 0x10;",
  };
  for (const std::string& source : programs) {
    const auto g = generate(source);
    ASSERT_TRUE(g.ok) << source << "\n" << g.messages;
    const ModuleImage m = image(g.code);
    const auto code = m.section(SectionType::Code);
    for (const ModuleFunction& f : readFunctions(m).entries) {
      const StackCheck r = checkStack(code.subspan(f.offset, f.end - f.offset), f.isMain());
      EXPECT_TRUE(r.ok()) << source << "\n" << f.name << ": " << r.error << " at " << r.errorOffset << "\n"
                          << listing(g.code);
      EXPECT_TRUE(r.depthsAgree) << source << "\n" << f.name << "\n" << listing(g.code);
    }
  }
}

} // namespace
} // namespace plumex::script::compiler
