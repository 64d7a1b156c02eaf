#pragma once
// The movie's synchronous calls into scripts (the control's FlashCall: an
// XML request answered with XML) and the functions a movie publishes,
// which scripts call through the control's CallFunction. Portable: the
// window hands requests in and answers out.
//
// Host objects reach a movie as handle numbers of a table per engine,
// dropped with its engine, so a number never outlives the objects of the
// engine it came from.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "container/application_engine.h"
#include "moviehost/command_dispatcher.h"
#include "moviehost/handle_table.h"
#include "script/values/engine.h"

namespace plumex::moviehost {

// The movie side: the control's CallFunction.
class MovieFunctions {
public:
  virtual ~MovieFunctions() = default;
  // The answer to the request; nothing when the movie cannot be called
  // (no control, or one older than version 8).
  virtual std::optional<std::u16string> callFunction(std::u16string_view request) = 0;
};

// The functions it publishes call back into it: the engines it served must
// end (the application engine's quit) before it goes.
class ExternalInterface {
public:
  ExternalInterface(container::ApplicationEngine& engines, CommandDispatcher& commands, HandleNumbers& numbers,
                    MovieFunctions& movie);
  ~ExternalInterface();
  ExternalInterface(const ExternalInterface&) = delete;
  ExternalInterface& operator=(const ExternalInterface&) = delete;

  // The answer to a FlashCall request: the XML of the call's result, or
  // "<undefined/>" when the request is unreadable, its handle unknown,
  // there is no engine for it, or the call failed.
  std::u16string answer(std::u16string_view request);

  // Makes the global `name` of the engine a function that calls the
  // movie's function of that name with its arguments and gives the
  // answer's value (undefined when the movie cannot be called or an
  // argument cannot be written). Raises only on memory exhaustion.
  void publish(script::Engine& engine, std::u16string_view name);

  // The handle table of the engine, made on first use.
  HandleTable& handles(script::Engine& engine);

  // What a publishing function calls.
  std::optional<std::u16string> callMovie(std::u16string_view request) { return movie_.callFunction(request); }

private:
  struct EngineState;
  EngineState& stateOf(script::Engine& engine);

  container::ApplicationEngine& engines_;
  CommandDispatcher& commands_;
  HandleNumbers& numbers_;
  MovieFunctions& movie_;
  std::map<const script::Engine*, std::unique_ptr<EngineState>> states_;
  std::size_t endListener_;
};

// The request CallFunction takes for a call of the movie's function.
// Nothing when an argument cannot be written (a cycle, nesting too deep).
std::optional<std::u16string> invokeRequest(script::Engine& engine, std::u16string_view name,
                                            std::span<const script::Value> arguments, HandleIssuer* handles);

// Whether text is a name a generated forwarding function may carry: ASCII
// letters, digits, "_" and "$", not empty.
bool isPlainIdentifier(std::u16string_view text);

} // namespace plumex::moviehost
