// The code generator and the optimisation passes, seen through the
// instruction lists they produce.

#include <gtest/gtest.h>

#include <string>

#include "codegen_listing.h"

namespace plumex::script::compiler {
namespace {

using testing::function;
using testing::generate;
using testing::listing;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct Case {
  const char* source;
  const char* function;
  const char* code;
};

class Generates : public ::testing::TestWithParam<Case> {};

TEST_P(Generates, TheExpectedInstructions) {
  const Case& c = GetParam();
  const auto g = generate(c.source);
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_EQ(function(g.code, c.function), c.code) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Generates,
    ::testing::Values(
        // A function that falls off its end returns Undefined; here the
        // trailing PUSHUNDEF, RETURN are dead code.
        Case{"function add(a, b) { return a + b; }", "add",
             "LDSLOT 1; ADD2; ADJUSTARGS 4; LDSLOT 2; LDSLOT 3; ADD; RETURN"},
        // The final expression statement's value is the program's result.
        Case{"add(1, 2);", ".main", "PUSH2; PUSH1; PUSH2; LDGLOBAL add; CALL; SLIDE 4"},
        Case{"getAdditionalFile(); return true;", ".main",
             "PUSH0; LDGLOBAL getAdditionalFile; CALL; POPN 3; PUSHTRUE; RETURN"},
        Case{"x = 1; if (x) { }", ".main", "PUSH1; STGLOBAL x; LDGLOBAL x; JFALSE L1; L1: PUSHUNDEF"},
        Case{"1 + 2", ".main", "PUSH1; PUSH2; ADD"},
        // x is the global until its var statement makes it a local.
        Case{"function f() { y = x; var x = 2; return y; }", "f",
             "LDSLOT 1; ADD2; ADJUSTARGS 2; RESERVE 1; LDGLOBAL x; STGLOBAL y; PUSH2; STLOCAL 0; "
             "LDGLOBAL y; RETURN"},
        // A for statement's var is local to the loop: i afterwards is the global.
        Case{"function f() { for (var i = 0; i < 3; i++) {} return i; }", "f",
             "LDSLOT 1; ADD2; ADJUSTARGS 2; RESERVE 1; PUSH0; STLOCAL 0; L1: LDLOCAL 0; PUSH3; LT; "
             "JFRAW L3; LDLOCAL 0; PUSH1; ADD; STLOCAL 0; JMP L1; L3: LDGLOBAL i; RETURN"},
        // Top-level var statements store globals; the first of a repeated
        // object key wins because properties are stored last first.
        Case{"var o = {a: 1, a: 2}; o.a", ".main",
             "PUSH0; LDGLOBAL Object; NEW; SWAP; SLIDE 2; DUP; PUSH2; SWAP; SETPROP a; DUP; PUSH1; SWAP; "
             "SETPROP a; STGLOBAL o; LDGLOBAL o; GETPROP a"},
        Case{"x = [1, , \"s\"];", ".main",
             "PUSHCONST \"s\"; PUSHUNDEF; PUSH1; PUSHINT -3; LDGLOBAL Array; NEW; SWAP; SLIDE 5; "
             "DUP; STGLOBAL x"},
        Case{"function f() { g(); function g() {} }", "f",
             "LDSLOT 1; ADD2; ADJUSTARGS 2; PUSH0; LDGLOBAL g; CALL; POPN 3; LDGLOBAL @F_0; "
             "LDGLOBAL f; SETPROP g; PUSHUNDEF; RETURN"},
        Case{"with (o) { a = b; f(); }", ".main",
             "LDGLOBAL o; WITH; GETNAME b; SETNAME a; PUSH0; GETNAME f; CALLNAME f; POPN 3; LEAVEWITH 1; "
             "PUSHUNDEF"},
        Case{"delete a.b; delete a[1]; delete a; delete 5;", ".main",
             "LDGLOBAL a; DELPROP b; POP; LDGLOBAL a; PUSH1; DELINDEX; POP; PUSHNULL; DELGLOBAL a; POP; "
             "PUSHCONST 5; POP; PUSHUNDEF"},
        Case{"x = ~a; y = void a; z = +a;", ".main",
             "LDGLOBAL a; PUSHCONST -1; XOR; STGLOBAL x; LDGLOBAL a; POP; PUSHUNDEF; STGLOBAL y; "
             "LDGLOBAL a; DUP; STGLOBAL z"},
        Case{"x = a && b;", ".main", "LDGLOBAL a; DUP; JFALSE L1; POP; LDGLOBAL b; L1: DUP; STGLOBAL x"},
        Case{"x = (a == b) || (c < d);", ".main",
             "LDGLOBAL a; LDGLOBAL b; EQ; DUP; JTRAW L1; POP; LDGLOBAL c; LDGLOBAL d; LT; L1: DUP; "
             "STGLOBAL x"},
        Case{"x = new Date;", ".main", "PUSH0; LDGLOBAL Date; NEW; SWAP; SLIDE 2; DUP; STGLOBAL x"},
        Case{"struct { char a; } S;", ".main",
             "PUSHCONST \"<S type=\"struct\"><a type=\"char\"></a></S>\"; DUP; STGLOBAL S"},
        Case{"dllimport user32 stdcall long MessageBoxA(long, String) as box;", ".main",
             "PUSHCONST \"String\"; PUSHCONST \"long\"; PUSHCONST \"long\"; PUSHCONST \"stdcall\"; "
             "PUSHCONST \"box\"; PUSHCONST \"MessageBoxA\"; LDGLOBAL user32; PUSHINT 7; LDGLOBAL Dll; "
             "CALLMETHOD registerFunction; SLIDE 9"}));

TEST(CodeGenerator, ArgumentsObjectIsBuiltInThePrologue) {
  const auto g = generate("function f(a) { return arguments[2]; }");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_EQ(function(g.code, "f"),
            "LDSLOT 1; ADD2; ADJUSTARGS 3; RESERVE 1; PUSH0; LDGLOBAL Object; NEW; SWAP; SLIDE 2; STLOCAL 0; "
            "PUSH0; L1: DUP; LDSLOT 1; GE; JTRAW L2; DUP; DUP; ADD2; GETSLOT; SWAP; LDLOCAL 0; SWAP; "
            "SETINDEX; INC; JMP L1; L2: LDLOCAL 0; SETPROP length; LDGLOBAL f; LDLOCAL 0; SETPROP callee; "
            "LDLOCAL 0; PUSH2; GETINDEX; RETURN");
}

// Compound assignment and ++/-- evaluate the target's object and index once.
TEST(CodeGenerator, CompoundTargetsAreEvaluatedOnce) {
  for (const char* source : {"a[i++] ^= x;", "a[i++]++;", "++a[i++];", "a[i++].p += 1;", "a[i++].p--;"}) {
    const auto g = generate(source);
    ASSERT_TRUE(g.ok) << g.messages;
    const std::string code = function(g.code, ".main");
    EXPECT_EQ(count(code, "LDGLOBAL a"), 1u) << source << ": " << code;
    EXPECT_EQ(count(code, "LDGLOBAL i"), 1u) << source << ": " << code;
  }
  EXPECT_EQ(function(generate("a[k] -= 2;").code, ".main"),
            "LDGLOBAL a; LDGLOBAL k; DUP; ROT -3; DUP; ROT 4; SWAP; GETINDEX; PUSH2; SUB; DUP; ROT 4; "
            "ROT 3; SETINDEX");
  EXPECT_EQ(function(generate("x = o.p++;").code, ".main"),
            "LDGLOBAL o; DUP; GETPROP p; DUP; ROT 3; PUSH1; ADD; SWAP; SETPROP p; DUP; STGLOBAL x");
}

TEST(CodeGenerator, BreakAndContinueLeaveWhatTheyCross) {
  // A labelled continue targets the outer loop: the inner for-in's pair
  // and the with are left on the way.
  auto g = generate(
      "outer: for (var i = 0; i < 3; i++) { for (k in o) { with (w) { continue outer; } } }");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, ".main").find("LEAVEWITH 1; POPN 2; JMP L2"), std::string::npos)
      << function(g.code, ".main");

  // Breaking out of a for-in or a switch leaves their values to the
  // break label.
  g = generate("for (k in o) { break; } lbl: for (k in o) { break lbl; } switch (x) { case 1: break; }");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_EQ(count(function(g.code, ".main"), "POPN 2"), 2u);

  // break inside try leaves the guard but does not run finally; from the
  // finally part it drops the pending exception and its flag.
  g = generate("while (c) { try { break; } finally { f(); } }", false);
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, ".main").find("TRY L3; LEAVETRY 1; JMP L2"), std::string::npos)
      << function(g.code, ".main");
  g = generate("while (c) { try { } finally { break; } }", false);
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, ".main").find("POPN 2; JMP L2"), std::string::npos) << function(g.code, ".main");

  // From a catch clause: the guard over the clauses, and the two values.
  g = generate("function f() { while (c) { try { g(); } catch (e) { break; } } }", false);
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, "f").find("LEAVETRY 1; POPN 2; JMP"), std::string::npos) << function(g.code, "f");
}

TEST(CodeGenerator, LocalSlotsCoverEveryVariableInScope) {
  // Variables declared directly in if branches and switch clauses stay in
  // the function's scope; each needs its own slot.
  auto g = generate("function f() { if (a) var x = 1; if (b) var y = 2; return x + y; }");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, "f").find("RESERVE 2"), std::string::npos) << function(g.code, "f");
  g = generate("function f() { for (var i = 0; i < 2; i++) { var j = i; } }");
  ASSERT_TRUE(g.ok);
  EXPECT_NE(function(g.code, "f").find("RESERVE 2"), std::string::npos) << function(g.code, "f");
  // Nested scopes reuse slots once closed; each catch clause counts one.
  g = generate("function f() { { var a; } { var b; } try { } catch (e) { } catch (e2) { } }");
  ASSERT_TRUE(g.ok);
  EXPECT_NE(function(g.code, "f").find("RESERVE 2"), std::string::npos) << function(g.code, "f");
  // A local declared in a block of the top level belongs to .main.
  g = generate("{ var t = 5; } t");
  ASSERT_TRUE(g.ok);
  EXPECT_EQ(function(g.code, ".main"), "RESERVE 1; PUSHCONST 5; STLOCAL 0; LDGLOBAL t");
}

TEST(CodeGenerator, LongArgumentListsUseTheWideSlide) {
  std::string array = "x = [";
  std::string call = "f(";
  for (int i = 0; i < 200; ++i) {
    array += i ? ",0" : "0";
    call += i ? ",0" : "0";
  }
  auto g = generate(array + "];");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(listing(g.code).find("PUSHINT -200; LDGLOBAL Array; NEW; SWAP; SLIDEW 202"), std::string::npos);
  g = generate(call + ");");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(listing(g.code).find("PUSHINT 200; LDGLOBAL f; CALL; SLIDEW 202"), std::string::npos);
}

TEST(CodeGenerator, Errors) {
  struct Bad {
    const char* source;
    const char* message;
  } cases[] = {
      {"break;", "error: line 0: invalid break\n"},
      {"x = 1;\ncontinue;\n", "error: line 1: invalid continue\n"},
      {"switch (x) { case 1: continue; }", "error: line 0: invalid continue\n"},
      {"lbl: { continue lbl; }", "error: line 0: invalid continue\n"},
      {"while (x) { break nowhere; }", "error: line 0: invalid break\n"},
      {"function f() { while (x) { } }\nfunction g() { break; }", "error: line 1: invalid break\n"},
      {"f() = 1;", "error: line 0: invalid assignment target\n"},
      {"this++;", "error: line 0: invalid assignment target\n"},
  };
  for (const Bad& b : cases) {
    const auto g = generate(b.source);
    EXPECT_FALSE(g.ok) << b.source;
    EXPECT_EQ(g.messages, b.message) << b.source;
  }
  std::string params = "function f(";
  for (int i = 0; i < 126; ++i) params += (i ? ",p" : "p") + std::to_string(i);
  auto g = generate(params + ") {}");
  EXPECT_FALSE(g.ok);
  EXPECT_EQ(g.messages, "error: line 0: too many formal parameters (at most 125)\n");
  params.replace(params.rfind(",p125"), 5, "");
  EXPECT_TRUE(generate(params + ") {}").ok);
}

struct PassCase {
  const char* source;
  const char* before;  // a piece of the unoptimised listing
  const char* after;   // the optimised one
};

TEST(Optimizer, EachPassDoesItsPart) {
  const PassCase cases[] = {
      // An assignment used as a statement stores without duplicating.
      {"function f(a) { a = 1; }", "PUSH1; DUP; STSLOT 2; POP",
       "LDSLOT 1; ADD2; ADJUSTARGS 3; PUSH1; STSLOT 2; PUSHUNDEF; RETURN"},
      // Constant conditions: the test disappears or becomes a jump.
      {"while (true) { f(); }", "PUSHTRUE; JFRAW", "L1: PUSH0; LDGLOBAL f; CALL; POPN 3; JMP L1"},
      {"do { f(); } while (false);", "PUSHFALSE; JTRAW", "PUSH0; LDGLOBAL f; CALL; POPN 3; PUSHUNDEF"},
      // A jump to a jump goes straight to the end.
      {"while (a) { if (b) { c(); } }", "JMP L4",
       "L1: LDGLOBAL a; JFALSE L2; LDGLOBAL b; JFALSE L1; PUSH0; LDGLOBAL c; CALL; POPN 3; JMP L1; L2: "
       "PUSHUNDEF"},
      // A stored local read straight back and never again stays on the stack.
      {"function f() { var x = g(); return x; }", "STLOCAL 0; LDLOCAL 0",
       "LDSLOT 1; ADD2; ADJUSTARGS 2; RESERVE 1; PUSH0; LDGLOBAL g; CALL; SLIDE 2; RETURN"},
  };
  for (const PassCase& c : cases) {
    const auto raw = generate(c.source, false);
    ASSERT_TRUE(raw.ok) << raw.messages;
    EXPECT_NE(listing(raw.code).find(c.before), std::string::npos) << listing(raw.code);
    const auto g = generate(c.source);
    const std::string name = listing(g.code).substr(0, listing(g.code).find(':'));
    EXPECT_EQ(function(g.code, name), c.after) << c.source;
  }
}

// A local that a catch clause reads must still be stored, even where the
// normal path never reads it again.
TEST(Optimizer, KeepsStoresThatHandlersRead) {
  const auto g = generate("function f() { var x = 0; try { x = g(); x.p; } catch (e) { return x; } }");
  ASSERT_TRUE(g.ok) << g.messages;
  EXPECT_NE(function(g.code, "f").find("STLOCAL 0; LDLOCAL 0; GETPROP p"), std::string::npos)
      << function(g.code, "f");
}

} // namespace
} // namespace plumex::script::compiler
