// The application engine: made on first need, completion values of modules
// and calls, and an end asked for while calls into it are running (the
// address sanitizer sees any use of a destroyed engine).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/class_binding.h"
#include "container/application_engine.h"
#include "script/builtins/builtins.h"
#include "script/compiler/compile_driver.h"
#include "script/vm/engine_interface.h"

namespace plumex::container {
namespace {

using script::Engine;

std::vector<std::uint8_t> moduleOf(std::string_view source) {
  auto stream = script::compiler::ScriptStream::openText(source);
  auto result = script::compiler::compileModule(*stream, script::compiler::kOptionPasses);
  EXPECT_TRUE(result.module) << result.messages;
  return result.module.value_or(std::vector<std::uint8_t>{});
}

// Engines made here know "quitNow", which ends the application engine
// from inside a script, and "callBack(name)", which calls a global
// function through the application engine again (as a handler run from a
// modal loop would).
class AppEngine : public ::testing::Test {
protected:
  AppEngine()
      : app_([this] {
          script::vm::EngineSetup setup;
          setup.options.hostWord = this;
          setup.registerClasses = [](Engine& e) {
            script::builtins::registerPortableClasses(e);
            binding::registerFunction(e, "quitNow", [](Engine& e, script::ClassRecord&, void*, script::Value&,
                                                       script::ArgBlock) {
              static_cast<AppEngine*>(e.hostWord())->app_.quit();
            });
            binding::registerFunction(e, "callBack", [](Engine& e, script::ClassRecord&, void*, script::Value& result,
                                                        script::ArgBlock) {
              auto* self = static_cast<AppEngine*>(e.hostWord());
              self->nested_ = self->app_.callGlobal("inner", {}).value_or("(none)");
              result = script::Value::integer(self->app_.depth());
            });
          };
          ++made_;
          return script::vm::createEngine(setup);
        }) {}

  ApplicationEngine app_;
  int made_ = 0;
  std::string nested_;
};

TEST_F(AppEngine, IsMadeOnFirstNeedOnly) {
  EXPECT_EQ(app_.current(), nullptr);
  Engine* e = app_.ensure();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(app_.ensure(), e);
  EXPECT_EQ(made_, 1);
  app_.quit();
  EXPECT_EQ(app_.current(), nullptr);
  EXPECT_EQ(app_.depth(), 0);
}

TEST_F(AppEngine, ModuleCompletionValues) {
  struct Case {
    const char* source;
    bool ran;
    std::optional<bool> boolean;
  } cases[] = {
      {"x = 1; false;", true, false},
      {"true;", true, true},
      {"0;", true, std::nullopt},
      {"'';", true, std::nullopt},
      {"var y = 2;", true, std::nullopt},
      {"throw 'no';", false, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto completion = app_.runModule(moduleOf(c.source));
    EXPECT_EQ(completion.ran, c.ran) << c.source;
    EXPECT_EQ(completion.boolean, c.boolean) << c.source;
  }
  EXPECT_EQ(made_, 1);
  EXPECT_FALSE(app_.runModule(std::vector<std::uint8_t>{1, 2, 3}).ran);
}

TEST_F(AppEngine, CallsGlobalsWithTextArguments) {
  app_.runModule(moduleOf("function join(a, b, c) { return a + '|' + b + '|' + c + '|' + arguments.length; }"
                          "function none() { }"));
  EXPECT_EQ(app_.callGlobal("join", {"x", "", "\xE9"}), "x||\xE9|3");
  EXPECT_EQ(app_.callGlobal("join", {}), "undefined|undefined|undefined|0");
  EXPECT_EQ(app_.callGlobal("none", {"a"}), "undefined");
  EXPECT_EQ(app_.callGlobal("missing", {"a"}), "undefined");
  EXPECT_EQ(app_.depth(), 0);
}

TEST_F(AppEngine, EndedDuringACallLivesUntilTheOutermostCallReturns) {
  app_.runModule(moduleOf("function inner() { return 'inner ' + (typeof outerMark); }"
                          "function outer(a) {"
                          "  outerMark = 1; quitNow();"
                          "  var s = ''; for (var i = 0; i < 2000; i++) s += a;"  // the engine is still alive
                          "  var depth = callBack();"                            // a fresh engine answers
                          "  return s.length + ' ' + depth + ' ' + typeof outerMark; }"));
  Engine* first = app_.current();
  ASSERT_NE(first, nullptr);
  const auto text = app_.callGlobal("outer", {"ab"});
  // The fresh engine made by callBack knows no functions: its "inner" call
  // fails and gives Undefined.
  EXPECT_EQ(nested_, "undefined");
  EXPECT_EQ(text, "4000 1 number");  // callBack reads the depth after its call returned
  EXPECT_EQ(made_, 2);
  // The first engine is gone, the fresh one stays.
  EXPECT_NE(app_.current(), nullptr);
  EXPECT_EQ(app_.depth(), 0);
}

TEST_F(AppEngine, EndedTwiceWhileNestedDestroysBoth) {
  app_.runModule(moduleOf("function outer() { quitNow(); quitNow(); return 'done'; }"));
  EXPECT_EQ(app_.callGlobal("outer", {}), "done");
  EXPECT_EQ(app_.current(), nullptr);
  // The next need makes a fresh engine.
  EXPECT_EQ(app_.callGlobal("outer", {}), "undefined");
  EXPECT_EQ(made_, 2);
}

} // namespace
} // namespace plumex::container
