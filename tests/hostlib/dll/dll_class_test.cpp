// Dll and DllParam as scripts see them: registration and its failures with
// their explanations, DllParam's sizes, modules shared and unloaded, and
// the native build, where no DLL loads.

#include "dll_fixture.h"
#include "hostlib/dll/imported_function.h"

namespace plumex::hostlib::dll {
namespace {

using namespace testing;

class DllClass : public DllScript {
protected:
  void SetUp() override { ASSERT_EQ(run("struct { int a; char b; } Small;"), ""); }
};

TEST_F(DllClass, RegistrationFailuresGiveFalseAndInstallNothing) {
  struct Row {
    const char* arguments;
    const char* explanation;
  };
  const Row rows[] = {
      {"'test.dll'", "registerFunction: a DLL and a function name are needed"},
      {"'test.dll', 'f', 'h', 1", "registerFunction: argument 4 must be a String, not Integer"},
      {"undefined, 'f', 'h'", "registerFunction: argument 1 must be a String, not Undefined"},
      {"'nosuch.dll', 'f', 'h'", "h: DLL \"nosuch.dll\" not found"},
      {"'test.dll', 'missing', 'h'", "h: function \"missing\" not found in \"test.dll\""},
      {"'test.dll', 'f', 'h', 'stdcall', 'intPair'", "h: unknown type \"intPair\" for the result"},
      {"'test.dll', 'f', 'h', 'stdcall', 'long', 'long', 'quad'", "h: unknown type \"quad\" for parameter 2"},
      {"'test.dll', 'f', 'h', 'stdcall', 'long', 'void'", "h: parameter 1 is void"},
      {"'test.dll', 'f', 'h', 'stdcall', 'long', 3", "h: unknown type (Integer) for parameter 1"},
      {"'test.dll', 'f', 'h', 'stdcall', 'long', 'long', new DllParam(65533, 0)",
       "h: the arguments take 65540 bytes, more than 65536"},
      // A structure result over 8 bytes takes a hidden first word.
      {"'test.dll', 'f', 'h', 'stdcall', new DllParam(12, 0), new DllParam(65533, 0)",
       "h: the arguments take 65540 bytes, more than 65536"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    EXPECT_EQ(run(std::string("h = 5; show(Dll.registerFunction(") + row.arguments + ")); show(h);"), "false | 5");
    EXPECT_EQ(explanations(), std::vector<std::string>{row.explanation});
  }
  // The largest argument area there is, and a structure type by name.
  EXPECT_EQ(run("show(Dll.registerFunction('test.dll', 'f', 'h', 'stdcall', 'Small', 'Small*', "
                "new DllParam(65528, 0)));"),
            "true");
  EXPECT_EQ(explanations(), std::vector<std::string>{});
  EXPECT_EQ(platform.loads - platform.unloads, 1) << "loaded for every failure but the missing function's";
}

TEST_F(DllClass, DllParamSizes) {
  struct Row {
    const char* arguments;
    const char* shows;
  };
  const Row rows[] = {
      {"1, 0", "<[object DllParam]>"},
      {"16777216, 1, 'Small'", "<[object DllParam]>"},
      {"0, 0", "null"},
      {"-1, 0", "null"},
      {"16777217, 0", "null"},
      {"4294967297, 0", "null"},
      {"8", "null"},
      {"8, true", "null"},
      {"'8', 0", "null"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run(std::string("show(new DllParam(") + row.arguments + "));"), row.shows) << row.arguments;
    EXPECT_EQ(run(std::string("show(DllParam(") + row.arguments + "));"), row.shows) << row.arguments;
  }
  EXPECT_EQ(explanations()[0], "DllParam: size 0 is not from 1 to 16777216");
  EXPECT_EQ(run("show(DllParam); show(Dll); show(new Dll() == Dll); show(Dll() == Dll);"),
            "<[object DllParam]> | <[object Dll]> | true | true");
}

TEST_F(DllClass, FunctionsShareTheirModuleUntilTheLastGoes) {
  ASSERT_EQ(run("show(Dll.registerFunction('test.dll', 'f'));"
                "show(Dll.registerFunction('TEST.DLL', 'g', 'two'));"
                "show(typeof f); show(typeof two);"),
            "true | true | 'object' | 'object'");
  EXPECT_EQ(context_.modules.shareCount("c:\\test.dll"), 2);
  EXPECT_EQ(platform.loads, 2);
  EXPECT_EQ(platform.unloads, 1) << "the second load given back at once";

  // Registering again under the same name replaces the function.
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'g', 'two'); show(Dll.unregisterFunction('two'));"), "undefined");
  EXPECT_TRUE(e.global(e.internAnsi("two")).is(script::Kind::Undefined));
  EXPECT_EQ(run("Dll.unregisterFunction('f'); Dll.unregisterFunction('Math'); show(typeof Math);"), "'object'");
  e.collectGarbage();
  EXPECT_EQ(context_.modules.shareCount("c:\\test.dll"), 0);
  EXPECT_EQ(platform.loads, platform.unloads);
}

TEST_F(DllClass, ReplacingTheGlobalsChangesNothingForNativeCode) {
  EXPECT_EQ(run("Dll.registerFunction('test.dll', 'f', 'f', 'cdecl', 'long', new DllParam(4, 0));"
                "DllParam = Struct; Struct = StringStream; s = new DllParam(\"<S><a type='int'/></S>\"); s.a = 9;"
                "show(f(s));"),
            "0");
  EXPECT_EQ(platform.words, std::vector<std::uint32_t>{9});
}

TEST_F(DllClass, NativeMemoryIsNeverReadable) {
  for (const char* call : {"getPointerValue(4096, 4)", "getPointerStringValue(4096)",
                           "getPointerWideStringValue(4096)", "getPointerValue(4096, 0)", "getPointerValue('1', 1)",
                           "getPointerStringValue()"})
    EXPECT_EQ(run(std::string("show(Dll.") + call + ");"), "undefined") << call;
  EXPECT_EQ(explanations(), (std::vector<std::string>{
                                "getPointerValue: 4 bytes at 0x00001000 are not readable",
                                "getPointerStringValue: 0x00001000 is not readable",
                                "getPointerWideStringValue: 0x00001000 is not readable",
                                "getPointerValue: size 0 is not positive",
                                "getPointerValue: the address and the size must be Integers",
                                "getPointerStringValue: the address must be an Integer",
                            }));
}

#ifndef _WIN32
// The native build's platform: no library loads, and a script probing for
// one gets false without a warning.
TEST(DllNative, NoLibraryLoads) {
  DllContext context;
  auto engine = script::vm::createEngine([&] {
    script::vm::EngineSetup s;
    s.registerClasses = [&context](script::Engine& e) {
      script::builtins::registerClassesThroughDate(e);
      streams::registerStreamClasses(e);
      script::builtins::registerClassesFromMath(e);
      registerDllClasses(e, context);
    };
    return s;
  }());
  ASSERT_TRUE(engine);
  std::vector<std::string> lines;
  engine->setWarningSink([](void* data, std::string_view text) {
    static_cast<std::vector<std::string>*>(data)->emplace_back(text);
  }, &lines);
  std::vector<std::string> explained;
  context.explanations.setWriter([&](std::string_view line) { explained.emplace_back(line); });
  ASSERT_TRUE(script::vm::runText(*engine,
                                  "ok = Dll.registerFunction('kernel32.dll', 'MulDiv', 'MulDiv', 'stdcall', 'long',"
                                  "  'long', 'long', 'long');"
                                  "dllimport 'user32.dll' stdcall long MessageBeep(long kind);"
                                  "trace(ok);"))
      << engine->errorText();
  EXPECT_EQ(lines, std::vector<std::string>{"false"});
  for (const char* name : {"MulDiv", "MessageBeep"})
    EXPECT_TRUE(engine->global(engine->internAnsi(name)).is(script::Kind::Undefined)) << name;
  EXPECT_EQ(explained, (std::vector<std::string>{"MulDiv: DLL \"kernel32.dll\" not found",
                                                 "MessageBeep: DLL \"user32.dll\" not found"}));
}
#endif

TEST(DllErrors, ExceptionTexts) {
  EXPECT_EQ(exceptionText("f", 0xC0000094), "f: exception 0xC0000094 (integer division by zero) in the DLL function");
  EXPECT_EQ(exceptionText("g", 0xC000001D), "g: exception 0xC000001D (illegal instruction) in the DLL function");
  EXPECT_EQ(exceptionText("h", 0x12345678), "h: exception 0x12345678 in the DLL function");
}

} // namespace
} // namespace plumex::hostlib::dll
