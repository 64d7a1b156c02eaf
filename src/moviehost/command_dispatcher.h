#pragma once
// The commands a movie sends (fscommand), and the same commands from
// start-up, the idle queue, `invoke` and the external interface: run a
// packaged script, evaluate text, run a file, call a script function,
// quit, full screen, start a program. Every dispatch is one entry into the
// application engine, so an end asked for meanwhile waits for it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "container/application_engine.h"
#include "script/values/engine.h"

namespace plumex::moviehost {

// What the commands reach outside the engine; the projector window gives
// its own.
class CommandHost {
public:
  virtual ~CommandHost() = default;
  // The packaged compiled script of the name, when there is one.
  virtual std::optional<std::vector<std::uint8_t>> scriptResource(std::u16string_view name) = 0;
  // Queues the script for the idle handler, which runs it as "Quorv_Run".
  virtual void deferRun(std::u16string_view name) = 0;
  // Closes the window as WM_CLOSE does.
  virtual void closeWindow() = 0;
  // Full screen on or off; nothing: the settings stay, and are applied
  // again.
  virtual void fullScreen(std::optional<bool> on) = 0;
  virtual void exec(std::u16string_view text) = 0;
  // Compile messages and runtime errors of a dispatch.
  virtual void trace(std::string_view text) = 0;
};

// Sees the completion value of a dispatch (Undefined when nothing ran or
// it failed) while its engine still stands.
using Completion = std::function<void(script::Engine&, const script::Value&)>;

class CommandDispatcher {
public:
  CommandDispatcher(container::ApplicationEngine& engines, CommandHost& host) : engines_(engines), host_(host) {}

  // Runs one command; names are compared without regard to case. Commands
  // that make no completion value (and "exec") give `completion` nothing.
  void dispatch(std::u16string_view command, std::u16string_view argument, const Completion& completion = {});

  // Where the errors of every entry into the engine go.
  CommandHost& host() { return host_; }

private:
  enum class Need {
    ExistingEngine,  // runs only in the engine there is
    Engine,          // makes the engine when there is none
    Compiler,        // the same, and compiles: its warnings are traced
  };
  // Runs work in the engine; reports what failed.
  template <class Work>
  void run(Need need, const Completion& completion, Work&& work);

  container::ApplicationEngine& engines_;
  CommandHost& host_;
};

} // namespace plumex::moviehost
