// The interpreter through the engine interface: results, warnings, errors
// and try guards, calls between script and native code, the stack limit
// and the host hook.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::vm {
namespace {

struct Outcome {
  bool ok = false;
  std::string result;  // the result's text, with its kind: "3 (3)"
  std::string error;
  std::vector<std::string> warnings;
};

void collectWarning(void* data, std::string_view text) {
  static_cast<std::vector<std::string>*>(data)->emplace_back(text);
}

std::string describe(Engine& engine, const Value& v) {
  const Value text = toStringValue(engine, v);
  return utf16ToAnsi(text.asString()->view()) + " (" + std::to_string(static_cast<int>(v.kind)) + ")";
}

class Interpreter : public ::testing::Test {
protected:
  void SetUp() override {
    EngineSetup setup;
    setup.registerClasses = [](Engine& e) {
      builtins::registerArrayClass(e);
      builtins::registerFunctionClass(e);
      builtins::registerObjectClass(e);
    };
    engine_ = createEngine(setup);
    ASSERT_TRUE(engine_);
    engine_->setWarningSink(collectWarning, &warnings_);
  }

  Outcome run(std::string_view source) {
    warnings_.clear();
    Outcome r;
    r.ok = runText(*engine_, source);
    r.error = engine_->errorText();
    if (r.ok) r.result = describe(*engine_, engine_->result);
    r.warnings = warnings_;
    return r;
  }

  struct Case {
    const char* source;
    std::string result;
  };
  // Each source runs and gives the expected result.
  void expectResults(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      const Outcome r = run(c.source);
      EXPECT_TRUE(r.ok) << c.source << ": " << r.error;
      EXPECT_EQ(r.result, c.result) << c.source;
    }
  }

  std::unique_ptr<Engine> engine_;
  std::vector<std::string> warnings_;
};

constexpr int kInteger = 3, kString = 4, kFloat = 5, kBoolean = 2, kUndefined = 0, kNaN = 13;

std::string as(const std::string& text, int kind) { return text + " (" + std::to_string(kind) + ")"; }

TEST_F(Interpreter, ExpressionsAndOperators) {
  expectResults({
      {"1 + 2", as("3", kInteger)},
      {"'1' + 2", as("12", kString)},
      {"1 + '2'", as("12", kString)},
      {"true + 1", as("2", kInteger)},
      {"'5' - 2", as("3", kInteger)},
      {"9223372036854775807 + 1", as("-9223372036854775808", kInteger)},
      {"7 / 2", as("3.5", kFloat)},
      {"0 / 0", as("NaN", kNaN)},
      {"5 % 0", as("NaN", kNaN)},
      {"-7 % 2", as("-1", kInteger)},
      {"1 << 64", as("0", kInteger)},
      {"1 << 63", as("-9223372036854775808", kInteger)},
      {"-8 >> 1", as("-4", kInteger)},
      {"-1 >>> 1", as("9223372036854775807", kInteger)},
      {"~5", as("-6", kInteger)},
      {"x = 0 / 0; 1 < x", as("undefined", kUndefined)},
      {"1 === 1.0", as("true", kBoolean)},
      {"'1' === 1", as("false", kBoolean)},
      {"'1' == 1", as("true", kBoolean)},
      {"null == undefined", as("true", kBoolean)},
      {"null == 0", as("false", kBoolean)},
      {"typeof 'a' + typeof 1 + typeof null + typeof undefined", as("stringnumberobjectundefined", kString)},
      {"'b' > 'a' && 2 >= 2 && !(3 <= 2)", as("true", kBoolean)},
      {"x = 1; x += 2; x *= 3", as("9", kInteger)},
      {"x = 5; y = x++ + ++x; y * 10 + x", as("127", kInteger)},
      {"c = 0 ? 'a' : 'b'; c", as("b", kString)},
  });
}

TEST_F(Interpreter, FunctionsAndControlFlow) {
  expectResults({
      {"function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); } fib(20)", as("6765", kInteger)},
      {"f(); function f() { return 1; }", as("1", kInteger)},
      {"function f(a) { return arguments.length * 10 + arguments[2]; } f(1, 2, 3)", as("33", kInteger)},
      {"function f() { function g() { return 2; } } f(); typeof g + ' ' + f.g()", as("undefined 2", kString)},
      {"function P(x) { this.x = x; } P.get = function () { return this.x; }; p = new P(4); p.get()",
       as("4", kInteger)},
      {"a = [3, 1, 2]; s = 0; for (v in a) s = s * 10 + v; s", as("312", kInteger)},
      {"function A() { return arguments.length; } Array = A; x = [7, 8]; typeof x", as("object", kString)},
      // Literal properties are stored last first, and for-in follows the
      // order of storing.
      {"o = {b: 1, a: 2}; o.c = 3; s = ''; for (k in o) s += k; s", as("abc", kString)},
      {"function f(a, b) { return b; } f(1)", as("undefined", kUndefined)},
      {"x = 1; function f() { y = x; var x = 2; return y; } f()", as("1", kInteger)},
      {"s = 0; for (i = 0; i < 10; i++) { if (i == 3) continue; if (i == 6) break; s += i; } s",
       as("12", kInteger)},
      {"n = 0; outer: for (var i = 0; i < 3; i++) { for (var j = 0; j < 3; j++) { n++; continue outer; } } n",
       as("3", kInteger)},
      {"s = ''; switch (2) { case 1: s += 'a'; case 2: s += 'b'; case 3: s += 'c'; break; default: s += 'd'; } s",
       as("bc", kString)},
      {"s = ''; switch (9) { case 1: s += 'a'; default: s += 'd'; case 2: s += 'b'; } s", as("db", kString)},
      {"s = ''; for (c in 'ab') s += c; s", as("9798", kString)},
      {"i = 0; do { i += 2; } while (i < 7); i", as("8", kInteger)},
      {"function add(a, b) { return a + b; } eval('add(1, 2)')", as("3", kInteger)},
      {"eval(5)", as("5", kInteger)},
      {"x = 1; if (x) { }", as("undefined", kUndefined)},
  });
}

TEST_F(Interpreter, ExceptionsAndErrors) {
  expectResults({
      {"try { throw 1; } catch (e if e == 2) { r = 'a'; } catch (e) { r = 'b'; } r", as("b", kString)},
      {"try { throw 1; } catch (e if e == 1) { r = 'a'; } catch (e) { r = 'b'; } r", as("a", kString)},
      {"r = ''; try { try { throw 'x'; } finally { r += 'f'; } } catch (e) { r += e; } r", as("fx", kString)},
      {"n = 0; while (n < 3) { try { n++; break; } finally { n = 100; } } n", as("1", kInteger)},
      {"function f(n) { return f(n + 1); } try { f(0); } catch (e) { r = e; } r",
       as("Runtime error: stack overflow", kString)},
      {"function thrower() { throw 'deep'; } try { thrower(); } catch (e) { r = 'caught ' + e; } r",
       as("caught deep", kString)},
      {"try { x = 1; } catch (e) { } finally { y = 2; } x + y", as("3", kInteger)},
      {"function f() { try { return 'early'; } finally { g = 1; } } f()", as("early", kString)},
  });

  Outcome r = run("throw 'boom';");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "Runtime error: boom");

  // Calling something that is not a function only warns.
  r = run("try { undefinedFunction(); r = 'went on'; } catch (e) { r = 'caught'; } r");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.result, as("went on", kString));
  EXPECT_EQ(r.warnings, (std::vector<std::string>{"Warning: using undefined variable \"undefinedFunction\"",
                                                  "Warning: call a undefined function"}));

  r = run("x = 5; y = new x; y");
  EXPECT_EQ(r.result, as("undefined", 1));
  EXPECT_EQ(r.warnings, (std::vector<std::string>{"Warning: invalid constructor"}));

  r = run("x = ;");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "error: line 0: syntax error: invalid expression\r\n");
}

TEST_F(Interpreter, GlobalsPersistAcrossRuns) {
  ASSERT_TRUE(run("function twice(x) { return x * 2; } base = 20;").ok);
  EXPECT_EQ(run("twice(base) + 2").result, as("42", kInteger));
  // A failed run leaves the globals as they were at the failure.
  EXPECT_FALSE(run("base = 1; throw 'stop'; base = 2;").ok);
  EXPECT_EQ(run("base").result, as("1", kInteger));
}

// A native function that calls back into script.
void callBack(Engine& engine, ClassRecord&, void*, Value& result, ArgBlock args) {
  result = Value::boolean(args.count() > 0 && callValue(engine, Value::null(), args[0], {}));
}

TEST_F(Interpreter, NativeCallbacks) {
  ClassRecord* cls = newClass(*engine_);
  cls->call = callBack;
  engine_->global(engine_->internAnsi("callBack")) = newNative(*engine_, cls, nullptr);
  // A throw inside the callback ends the callback; the script's own try
  // around the native call is not entered.
  Outcome r = run("function bad() { throw 'inner'; } r = 'none'; try { ok = callBack(bad); } catch (e) { r = e; } "
              "r + ' ' + ok");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.result, as("none false", kString));
  r = run("function good() { n = 7; } callBack(good) + ' ' + n");
  EXPECT_EQ(r.result, as("true 7", kString));
  // Script and native code calling each other without end stop at a
  // bounded depth instead of exhausting the thread's stack.
  r = run("depth = 0; function again() { depth++; return callBack(again); } again(); depth");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.result, as("100", kInteger));
}

// A native object whose finaliser tries to run script.
struct Reaper {
  Engine* engine;
  bool* called;
};

TEST_F(Interpreter, FinalisersCannotRunScript) {
  ASSERT_TRUE(run("function onRelease() { released = true; }").ok);
  ClassRecord* cls = newClass(*engine_);
  cls->finalizeInstance = [](ClassRecord&, void* p) {
    auto* r = static_cast<Reaper*>(p);
    const Value f = r->engine->global(r->engine->internAnsi("onRelease"));
    *r->called = callValue(*r->engine, Value::null(), f, {});
    delete r;
  };
  bool called = true;
  newNative(*engine_, cls, new Reaper{engine_.get(), &called});
  engine_->collectGarbage();
  EXPECT_FALSE(called);
  EXPECT_EQ(run("typeof released").result, as("undefined", kString));
}

int stopAfterThree(int, void* data) { return ++*static_cast<int*>(data) >= 3 ? 42 : 0; }

TEST(InterpreterHook, StopsARunawayLoopAndNoTryCatchesIt) {
  int calls = 0;
  EngineSetup setup;
  setup.hook = stopAfterThree;
  setup.hookData = &calls;
  auto engine = createEngine(setup);
  ASSERT_TRUE(engine);
  EXPECT_FALSE(runText(*engine, "while (true) { try { while (true) { } } catch (e) { } }"));
  EXPECT_EQ(engine->errorText(), "Runtime error: hook break 42");
  EXPECT_EQ(calls, 3);
}

TEST_F(Interpreter, CallsFromTheHost) {
  ASSERT_TRUE(run("function sum(a, b) { return a + b; }").ok);
  std::vector<Value> block = {Value::integer(2), Value::integer(40), Value::integer(2)};
  EXPECT_TRUE(callFunction(*engine_, "sum", ArgBlock{block.data()}));
  EXPECT_EQ(describe(*engine_, engine_->result), as("42", kInteger));
  EXPECT_FALSE(callFunction(*engine_, "nothing", ArgBlock{block.data()}));
  EXPECT_EQ(engine_->errorText(), "Warning: call a undefined function");
}

// The host's call is the outermost frame: with arguments missing it moves
// down, and what the function constructs inside must still come back whole.
TEST_F(Interpreter, HostCallsWithMissingAndExtraArguments) {
  ASSERT_TRUE(run("function P(a, b) { this.v = a + '/' + b; }\n"
                  "function make(a, b, c) { var p = new P(a); return p.v + ' ' + a + '/' + b + '/' + c; }")
                  .ok);
  struct Case {
    std::vector<Value> block;
    const char* result;
  };
  const Case cases[] = {
      {{Value::integer(0)}, "undefined/undefined undefined/undefined/undefined (4)"},
      {{Value::integer(1), Value::integer(1)}, "1/undefined 1/undefined/undefined (4)"},
      {{Value::integer(3), Value::integer(1), Value::integer(2), Value::integer(3)}, "1/undefined 1/2/3 (4)"},
      {{Value::integer(5), Value::integer(1), Value::integer(2), Value::integer(3), Value::integer(4),
        Value::integer(5)},
       "1/undefined 1/2/3 (4)"},
  };
  for (const Case& c : cases) {
    std::vector<Value> block = c.block;
    EXPECT_TRUE(callFunction(*engine_, "make", ArgBlock{block.data()})) << engine_->errorText();
    EXPECT_EQ(describe(*engine_, engine_->result), c.result);
  }
}

} // namespace
} // namespace plumex::script::vm
