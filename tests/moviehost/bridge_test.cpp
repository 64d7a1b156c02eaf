// The command bridge over a real engine: the commands a movie sends, the
// external interface's names and answers, and the movie's functions
// called from scripts. The window's side (resources, the idle queue, the
// control) is a recording stand-in.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "binding/event_handler.h"
#include "container/application_engine.h"
#include "moviehost/command_dispatcher.h"
#include "moviehost/external_interface.h"
#include "platform/ansi_text.h"
#include "script/builtins/builtins.h"
#include "script/compiler/compile_driver.h"
#include "script/values/factory.h"
#include "script/vm/engine_interface.h"

namespace plumex::moviehost {
namespace {

using script::Engine;
using script::Value;

std::vector<std::uint8_t> moduleOf(std::string_view source) {
  auto stream = script::compiler::ScriptStream::openText(source);
  auto result = script::compiler::compileModule(*stream, script::compiler::kOptionPasses);
  EXPECT_TRUE(result.module) << result.messages;
  return result.module.value_or(std::vector<std::uint8_t>{});
}

// "Ticker": a host object with an event, for event forwarding. fire(a, b)
// calls its onTick handler with both.
struct Ticker {
  binding::EventHandler onTick;
  void mark(script::Tracer& t) const { onTick.mark(t); }
};
constexpr std::string_view kTickerMembers[] = {"onTick", "fire"};

void registerTicker(Engine& engine) {
  binding::registerClass(
      engine,
      {.name = "Ticker",
       .members = kTickerMembers,
       .call = [](Engine& e, script::ClassRecord& cls, void*, Value& result, script::ArgBlock) {
         result = binding::newInstance(e, cls, std::make_unique<Ticker>());
       },
       .method = [](Engine& e, script::ClassRecord& cls, void* self, script::Atom atom, Value& result,
                    script::ArgBlock block) {
         if (!self || binding::members(cls).find(atom) != 1) return false;
         const binding::Args args(block);
         const Value values[] = {args[0], args[1]};
         result = Value::undefined();
         if (static_cast<Ticker*>(self)->onTick.fire(e, Value::null(), values)) result = e.result;
         return true;
       },
       .property = [](Engine&, script::ClassRecord& cls, void* self, script::Atom atom, bool set, Value& io) {
         if (!self || binding::members(cls).find(atom) != 0) return false;
         return static_cast<Ticker*>(self)->onTick.property(set, io);
       },
       .construct = [](Engine& e, script::ClassRecord& cls, script::ArgBlock, Value& result) {
         result = binding::newInstance(e, cls, std::make_unique<Ticker>());
       },
       .finalizeInstance = binding::deleteInstance<Ticker>,
       .markInstance = binding::markInstance<Ticker>});
}

class Recorder final : public CommandHost, public MovieFunctions {
public:
  std::optional<std::vector<std::uint8_t>> scriptResource(std::u16string_view name) override {
    const auto found = resources.find(utf16ToAnsi(name));
    if (found == resources.end()) return std::nullopt;
    return found->second;
  }
  void deferRun(std::u16string_view name) override { log.push_back("defer " + utf16ToAnsi(name)); }
  void closeWindow() override { log.push_back("close"); }
  void fullScreen(std::optional<bool> on) override {
    log.push_back(on ? (*on ? "fullscreen on" : "fullscreen off") : "fullscreen again");
  }
  void exec(std::u16string_view text) override { log.push_back("exec " + utf16ToAnsi(text)); }
  void trace(std::string_view text) override { traces.emplace_back(text); }

  std::optional<std::u16string> callFunction(std::u16string_view request) override {
    requests.push_back(utf16ToAnsi(request));
    if (!movieAnswer) return std::nullopt;
    return ansiToUtf16(*movieAnswer);
  }

  std::map<std::string, std::vector<std::uint8_t>> resources;
  std::vector<std::string> log, traces, requests;
  std::optional<std::string> movieAnswer = "<string>from the movie</string>";
};

class Bridge : public ::testing::Test {
protected:
  Bridge()
      : engines_([this] {
          ++made_;
          script::vm::EngineSetup setup;
          setup.registerClasses = [](Engine& e) {
            script::builtins::registerPortableClasses(e);
            registerTicker(e);
          };
          return script::vm::createEngine(setup);
        }),
        commands_(engines_, host_),
        bridge_(engines_, commands_, numbers_, host_) {
    host_.resources["Lib"] = moduleOf("libLoaded = 'yes'; function twice(s) { return s + s; } 'lib done';");
  }
  ~Bridge() override { engines_.quit(); }

  void command(std::u16string_view c, std::u16string_view a) { commands_.dispatch(c, a); }
  std::string ask(const std::string& request) { return utf16ToAnsi(bridge_.answer(ansiToUtf16(request))); }
  static std::string invoke(const std::string& name, const std::string& arguments) {
    return "<invoke name=\"" + name + "\" returntype=\"xml\"><arguments>" + arguments + "</arguments></invoke>";
  }
  std::string eval(const std::string& source) {
    return ask(invoke("quorv_eval", "<string>" + utf16ToAnsi(escapeXml(ansiToUtf16(source))) + "</string>"));
  }

  Recorder host_;
  HandleNumbers numbers_;
  container::ApplicationEngine engines_;
  CommandDispatcher commands_;
  ExternalInterface bridge_;
  int made_ = 0;
};

TEST_F(Bridge, CommandsReachTheWindow) {
  command(u"Quorv_AsynRun", u"Later");
  command(u"QUIT", u"");
  command(u"fullscreen", u"true");
  command(u"fullscreen", u"false");
  command(u"fullscreen", u"yes");
  command(u"exec", u"\"C:\\a b\\tool.exe\" -x");
  command(u"Quorv_Trace", u"anything");
  command(u"", u"nothing");
  const std::vector<std::string> expected{"defer Later",          "close",          "fullscreen on",
                                          "fullscreen off",       "fullscreen again", "exec \"C:\\a b\\tool.exe\" -x"};
  EXPECT_EQ(host_.log, expected);
  // None of them needs an engine, nor does a function name without one.
  command(u"someFunction", u"42");
  EXPECT_EQ(made_, 0);
}

TEST_F(Bridge, ScriptsRunByCommand) {
  command(u"Quorv_Run", u"Missing");
  EXPECT_EQ(made_, 0) << "a script that is not packaged makes no engine";
  command(u"quorv_run", u"Lib");
  ASSERT_EQ(made_, 1);
  EXPECT_EQ(eval("libLoaded"), "<string>yes</string>");
  command(u"Quorv_Eval", u"function seen(a) { got = typeof a + ' ' + a + ' ' + arguments.length; }");
  command(u"seen", u"42");
  EXPECT_EQ(eval("got"), "<string>string 42 1</string>");
  // The argument reaches the script as the control gave it, outside the
  // code page too.
  command(u"seen", u"\u4e2d");
  EXPECT_EQ(eval("got.charCodeAt(7)"), "<number>20013</number>");

  command(u"Quorv_Quit", u"");
  EXPECT_EQ(engines_.current(), nullptr);
  command(u"Quorv_Eval", u"fresh = typeof libLoaded;");
  EXPECT_EQ(eval("fresh"), "<string>undefined</string>");
  EXPECT_EQ(made_, 2);
}

TEST_F(Bridge, ErrorsGoToTheTrace) {
  command(u"Quorv_Eval", u"throw 'broken';");
  command(u"Quorv_Eval", u"var = ;");
  command(u"Quorv_File", u"/nonexistent/file.qvs");
  ASSERT_EQ(host_.traces.size(), 4u);
  EXPECT_EQ(host_.traces[0], "Runtime error: broken");
  EXPECT_EQ(host_.traces[1], "    at .main (unknown:?)") << "where it arose";
  EXPECT_NE(host_.traces[2].find("missing ;"), std::string::npos) << host_.traces[2];
  EXPECT_NE(host_.traces[3].find("/nonexistent/file.qvs"), std::string::npos) << host_.traces[3];
}

TEST_F(Bridge, AnswersOfTheExternalInterface) {
  command(u"Quorv_Eval",
          u"function echo() { return arguments.length == 1 ? arguments[0] : arguments.length; }"
          "function fails() { throw 'no'; }"
          "function none() { }");
  const struct {
    std::string request, answer;
  } cases[] = {
      {invoke("echo", "<string>a&amp;lt;</string>"), "<string>a&amp;lt;</string>"},
      {invoke("echo", "<number>12</number>"), "<number>12</number>"},
      // The names of the table go without regard to case; script functions
      // by their own.
      {invoke("QUORV_EVAL", "<string>'e' + 1</string>"), "<string>e1</string>"},
      {invoke("ECHO", "<number>12</number>"), "<undefined/>"},
      {invoke("echo", "<array><property id=\"5\"><true/></property><property id=\"0\"><null/></property></array>"),
       "<array><property id=\"0\"><null/></property><property id=\"5\"><true/></property></array>"},
      {invoke("echo", "<object><property id=\"k\"><number>1.5</number></property></object>"),
       "<object><property id=\"k\"><number>1.5</number></property></object>"},
      {invoke("echo", "<string>a</string><undefined/><false/>"), "<number>3</number>"},
      {invoke("echo", ""), "<number>0</number>"},
      // A failed or missing function answers undefined, not what ran before.
      {invoke("fails", ""), "<undefined/>"},
      {invoke("missing", ""), "<undefined/>"},
      {invoke("none", ""), "<undefined/>"},
      {invoke("quorv_eval", "<string>6 * 7</string>"), "<number>42</number>"},
      {invoke("quorv_eval", "<string>throw 1</string>"), "<undefined/>"},
      {invoke("quorv_run", "<string>Lib</string>"), "<string>lib done</string>"},
      {invoke("exec", "<string>tool.exe</string>"), "<undefined/>"},
      // Unreadable requests call nothing.
      {invoke("echo", "<date>1</date>"), "<undefined/>"},
      {invoke("echo", "<string>&bogus;</string>"), "<undefined/>"},
      {"<notinvoke/>", "<undefined/>"},
      {"", "<undefined/>"},
      {"<invoke name=\"echo\"><arguments><string>x</string>", "<undefined/>"},
  };
  for (const auto& c : cases) EXPECT_EQ(ask(c.request), c.answer) << c.request;
  EXPECT_EQ(host_.log.back(), "exec tool.exe");
}

TEST_F(Bridge, WithoutAnEngineOnlyCommandsRun) {
  EXPECT_EQ(ask(invoke("echo", "<number>1</number>")), "<undefined/>");
  EXPECT_EQ(ask(invoke("quorv_new", "<string>Date</string>")), "<undefined/>");
  EXPECT_EQ(made_, 0);
  EXPECT_EQ(ask(invoke("quorv_eval", "<string>1 + 1</string>")), "<number>2</number>");
  EXPECT_EQ(made_, 1);
}

// The handle number in a "<number>N</number>" answer.
std::string handleIn(const std::string& answer) {
  EXPECT_EQ(answer.rfind("<number>", 0), 0u) << answer;
  return answer.substr(8, answer.find('<', 8) - 8);
}

TEST_F(Bridge, HostObjectsByHandle) {
  eval("0");
  const std::string re = handleIn(ask(invoke("quorv_new", "<string>RegExp</string><string>a+</string><string>g</string>")));
  const std::string num = "<number>" + re + "</number>";
  EXPECT_EQ(ask(invoke("quorv_getprop", num + "<string>source</string>")), "<string>a+</string>");
  EXPECT_EQ(ask(invoke("quorv_setprop", num + "<string>lastIndex</string><number>2</number>")), "<undefined/>");
  EXPECT_EQ(ask(invoke("quorv_getprop", num + "<string>lastIndex</string>")), "<number>2</number>");
  EXPECT_EQ(ask(invoke("quorv_call", num + "<string>test</string><string>baaa</string>")), "<true/>");
  // The same object given again keeps its number.
  eval("function keep(r) { kept = r; return r; }");
  EXPECT_EQ(ask(invoke("keep", num)), num);
  // An object whose Identifier holds the number stands for the host object.
  const std::string id = "<object><property id=\"Identifier\">" + num + "</property></object>";
  EXPECT_EQ(ask(invoke("keep", id)), num);
  EXPECT_EQ(ask(invoke("quorv_call", id + "<string>test</string><string>xyz</string>")), "<false/>");
  // quorv_call2: a global's name and an array of arguments.
  EXPECT_EQ(ask(invoke("quorv_call2", "<string>kept</string><string>test</string>"
                                       "<array><property id=\"0\"><string>aa</string></property></array>")),
            "<true/>");
  EXPECT_EQ(ask(invoke("quorv_call2", num + "<string>test</string>"
                                           "<array><property id=\"4000000\"><string>aa</string></property></array>")),
            "<undefined/>");
  // Forged and released numbers find nothing.
  EXPECT_EQ(ask(invoke("quorv_getprop", "<number>987654</number><string>source</string>")), "<undefined/>");
  EXPECT_EQ(ask(invoke("quorv_delete", "<number>987654</number>")), "<false/>");
  EXPECT_EQ(ask(invoke("quorv_delete", num)), "<true/>");
  EXPECT_EQ(ask(invoke("quorv_delete", num)), "<false/>");
  EXPECT_EQ(ask(invoke("quorv_call", num + "<string>test</string><string>a</string>")), "<undefined/>");
  // quorv_delete closes the object even for the script that kept it.
  EXPECT_EQ(eval("typeof kept.test"), "<string>undefined</string>");
}

TEST_F(Bridge, HandlesEndWithTheirEngine) {
  eval("0");
  const std::string num = "<number>" + handleIn(ask(invoke("quorv_new", "<string>Date</string><number>0</number>"))) + "</number>";
  EXPECT_EQ(ask(invoke("quorv_call", num + "<string>getTime</string>")), "<number>0</number>");
  command(u"Quorv_Quit", u"");
  eval("0");
  EXPECT_EQ(ask(invoke("quorv_call", num + "<string>getTime</string>")), "<undefined/>");
  EXPECT_EQ(ask(invoke("quorv_delete", num)), "<false/>");
  // Numbers are never given twice.
  EXPECT_NE("<number>" + handleIn(ask(invoke("quorv_new", "<string>Date</string>"))) + "</number>", num);
}

TEST_F(Bridge, MovieFunctionsCalledFromScripts) {
  eval("0");
  bridge_.publish(*engines_.current(), u"movieSays");
  EXPECT_EQ(eval("movieSays(1, 'a<b', [true], {k: null}, undefined, new Date(0)).toUpperCase()"),
            "<string>FROM THE MOVIE</string>");
  ASSERT_EQ(host_.requests.size(), 1u);
  const std::string& r = host_.requests[0];
  EXPECT_EQ(r.substr(0, r.find("<number>", 90)),
            "<invoke name=\"movieSays\" returntype=\"xml\"><arguments><number>1</number><string>a&lt;b</string>"
            "<array><property id=\"0\"><true/></property></array><object><property id=\"k\"><null/></property></object>"
            "<undefined/>");
  // A cycle is not sent; a movie that cannot be called answers undefined.
  EXPECT_EQ(eval("var o = {}; o.self = o; typeof movieSays(o)"), "<string>undefined</string>");
  EXPECT_EQ(host_.requests.size(), 1u);
  host_.movieAnswer.reset();
  EXPECT_EQ(eval("typeof movieSays(2)"), "<string>undefined</string>");
  host_.movieAnswer = "<bogus/>";
  EXPECT_EQ(eval("typeof movieSays(3)"), "<string>undefined</string>");
  host_.movieAnswer = "<array><property id=\"2\"><number>7</number></property></array>";
  EXPECT_EQ(eval("movieSays().length"), "<number>3</number>");
}

TEST_F(Bridge, EventsForwardedToTheMovie) {
  eval("ticker = new Ticker();");
  const std::string num = ask(invoke("quorv_eval", "<string>ticker</string>"));
  ASSERT_EQ(num.rfind("<number>", 0), 0u);
  EXPECT_EQ(ask(invoke("quorv_seh", num + "<string>onTick</string><string>movieTick</string>")), "<undefined/>");
  host_.movieAnswer = "<number>9</number>";
  EXPECT_EQ(eval("ticker.fire('x', 2)"), "<number>9</number>");
  ASSERT_EQ(host_.requests.size(), 1u);
  EXPECT_EQ(host_.requests[0],
            "<invoke name=\"movieTick\" returntype=\"xml\"><arguments><string>x</string><number>2</number>"
            "</arguments></invoke>");

  // Names that are not plain identifiers compile nothing and change nothing.
  for (const char* bad : {"<string>on Tick</string><string>f</string>",
                          "<string>onTick</string><string>f', 0); hacked = 1; ('</string>",
                          "<string>onTick</string><string></string>", "<number>1</number><string>f</string>"}) {
    EXPECT_EQ(ask(invoke("quorv_seh", num + bad)), "<undefined/>") << bad;
  }
  EXPECT_EQ(eval("typeof hacked"), "<string>undefined</string>");
  EXPECT_EQ(eval("ticker.fire(1, 1)"), "<number>9</number>");
  EXPECT_EQ(host_.requests.size(), 2u);
  EXPECT_EQ(host_.requests[1].substr(0, 30), "<invoke name=\"movieTick\" retur");
}

TEST(PlainIdentifiers, Table) {
  for (const char16_t* ok : {u"a", u"onTick", u"$x_1", u"9"}) EXPECT_TRUE(isPlainIdentifier(ok));
  for (const char16_t* bad : {u"", u"a b", u"a'", u"a.b", u"\u00e9"}) EXPECT_FALSE(isPlainIdentifier(bad));
}

} // namespace
} // namespace plumex::moviehost
