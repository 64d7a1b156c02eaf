#pragma once
// The application's script engine: made on first need, entered through one
// guard that counts how deep script calls are nested, and ended at close.
// An end asked for while a call is on the stack ("Quorv_Quit" from a script,
// a session ending inside a modal loop) detaches the engine at once, so the
// next need makes a fresh one, and destroys it when the outermost call has
// returned: the calls still running keep a live engine under them.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "script/values/engine.h"

namespace plumex::container {

class ApplicationEngine {
public:
  using Factory = std::function<std::unique_ptr<script::Engine>()>;

  explicit ApplicationEngine(Factory factory);
  ~ApplicationEngine();
  ApplicationEngine(const ApplicationEngine&) = delete;
  ApplicationEngine& operator=(const ApplicationEngine&) = delete;

  // The engine, made now when there is none; null when it cannot be made.
  script::Engine* ensure();
  // The engine when there is one.
  script::Engine* current() const { return engine_.get(); }

  // Held around every call into scripts; the depth is its count.
  class Entry {
  public:
    explicit Entry(ApplicationEngine& owner) : owner_(owner) { ++owner_.depth_; }
    ~Entry() { owner_.leave(); }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

  private:
    ApplicationEngine& owner_;
  };
  int depth() const { return depth_; }

  // Ends the engine: now, or once the depth returns to 0.
  void quit();

  // Calls the listener with each engine right before it is destroyed,
  // while it still stands, so that what belongs to one engine (handles,
  // say) goes with it; until the number given is passed to
  // removeEngineEndListener.
  std::size_t onEngineEnd(std::function<void(script::Engine&)> listener);
  void removeEngineEndListener(std::size_t id) { endListeners_.erase(id); }

  struct Completion {
    bool ran = false;
    // The completion value when it is a Boolean.
    std::optional<bool> boolean;
  };
  // Runs a compiled module in the engine (made when needed).
  Completion runModule(std::span<const std::uint8_t> module);

  // Calls a global function with String arguments (ANSI texts) and gives its
  // completion value as ANSI text; nothing when there is no engine. A call
  // that fails gives the text of Undefined.
  std::optional<std::string> callGlobal(const std::string& name,
                                        const std::vector<std::string>& arguments);

private:
  void leave();
  void destroy(std::unique_ptr<script::Engine> engine);

  Factory factory_;
  std::unique_ptr<script::Engine> engine_;
  // Engines ended while calls into them were running.
  std::vector<std::unique_ptr<script::Engine>> detached_;
  int depth_ = 0;
  std::map<std::size_t, std::function<void(script::Engine&)>> endListeners_;
  std::size_t nextListener_ = 0;
};

} // namespace plumex::container
