#include "moviehost/command_dispatcher.h"

#include "moviehost/xml_document.h"
#include "platform/ansi_text.h"
#include "script/values/factory.h"
#include "script/vm/engine_interface.h"

namespace plumex::moviehost {

using script::Engine;
using script::Value;

template <class Work>
void CommandDispatcher::run(Need need, const Completion& completion, Work&& work) {
  Engine* engine = need == Need::ExistingEngine ? engines_.current() : engines_.ensure();
  if (!engine) return;
  const bool ran = work(*engine);
  // A compilation that failed left its messages as the error text; one
  // that ran may have left warnings.
  const std::string& error = engine->errorText();
  const bool runtimeError = !ran && error.rfind("Runtime error: ", 0) == 0;
  const std::string& messages = script::vm::lastCompileMessages(*engine);
  if (need == Need::Compiler && (ran || runtimeError) && !messages.empty()) host_.trace(messages);
  if (!ran && !error.empty()) host_.trace(error);
  // Where a runtime error arose, innermost first.
  if (runtimeError) {
    const std::string frames = script::vm::formatStack(script::vm::errorStack(*engine));
    if (!frames.empty()) host_.trace(frames.substr(0, frames.size() - 1));
  }
  if (completion) completion(*engine, ran ? engine->result : Value::undefined());
}

void CommandDispatcher::dispatch(std::u16string_view command, std::u16string_view argument,
                                 const Completion& completion) {
  if (command.empty()) return;
  const container::ApplicationEngine::Entry entry(engines_);
  const auto is = [&](std::u16string_view name) { return equalsNoCase(command, name); };
  if (is(u"Quorv_Quit")) {
    engines_.quit();
  } else if (is(u"Quorv_Run")) {
    // A name that is not packaged makes no engine.
    const std::optional<std::vector<std::uint8_t>> module = host_.scriptResource(argument);
    if (!module) return;
    run(Need::Engine, completion, [&](Engine& e) { return script::vm::runModule(e, module->data(), module->size()); });
  } else if (is(u"Quorv_AsynRun")) {
    host_.deferRun(argument);
  } else if (is(u"Quorv_Eval")) {
    run(Need::Compiler, completion, [&](Engine& e) { return script::vm::runText(e, utf16ToAnsi(argument)); });
  } else if (is(u"Quorv_File")) {
    run(Need::Compiler, completion, [&](Engine& e) { return script::vm::runFile(e, utf16ToAnsi(argument)); });
  } else if (is(u"Quorv_Trace")) {
  } else if (is(u"quit")) {
    host_.closeWindow();
  } else if (is(u"fullscreen")) {
    host_.fullScreen(argument == u"true"    ? std::optional<bool>(true)
                     : argument == u"false" ? std::optional<bool>(false)
                                            : std::nullopt);
  } else if (is(u"exec")) {
    host_.exec(argument);
  } else {
    // A script function of that name, with the text as its one argument,
    // in the engine there is: commands never make one for it.
    run(Need::ExistingEngine, completion, [&](Engine& e) {
      Value block[2] = {Value::integer(1), Value::undefined()};
      if (!script::runProtected(e, [&] { block[1] = script::copyString(e, argument); })) return false;
      return script::vm::callFunction(e, utf16ToAnsi(command), script::ArgBlock{block});
    });
  }
}

} // namespace plumex::moviehost
