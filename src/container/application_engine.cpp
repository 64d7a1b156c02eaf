#include "container/application_engine.h"

#include "platform/ansi_text.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::container {

ApplicationEngine::ApplicationEngine(Factory factory) : factory_(std::move(factory)) {}

ApplicationEngine::~ApplicationEngine() {
  for (auto& e : detached_) destroy(std::move(e));
  destroy(std::move(engine_));
}

std::size_t ApplicationEngine::onEngineEnd(std::function<void(script::Engine&)> listener) {
  endListeners_.emplace(nextListener_, std::move(listener));
  return nextListener_++;
}

void ApplicationEngine::destroy(std::unique_ptr<script::Engine> engine) {
  if (!engine) return;
  for (const auto& [id, listener] : endListeners_) listener(*engine);
}

script::Engine* ApplicationEngine::ensure() {
  if (!engine_) engine_ = factory_();
  return engine_.get();
}

void ApplicationEngine::quit() {
  if (!engine_) return;
  if (depth_ > 0) detached_.push_back(std::move(engine_));
  else destroy(std::move(engine_));
}

void ApplicationEngine::leave() {
  if (--depth_ > 0) return;
  std::vector<std::unique_ptr<script::Engine>> ended = std::move(detached_);
  detached_.clear();
  for (auto& e : ended) destroy(std::move(e));
}

ApplicationEngine::Completion ApplicationEngine::runModule(std::span<const std::uint8_t> module) {
  Completion c;
  script::Engine* engine = ensure();
  if (!engine) return c;
  Entry entry(*this);
  c.ran = script::vm::runModule(*engine, module.data(), module.size());
  if (c.ran && engine->result.is(script::Kind::Boolean)) c.boolean = engine->result.u.i32 != 0;
  return c;
}

std::optional<std::string> ApplicationEngine::callGlobal(const std::string& name,
                                                         const std::vector<std::string>& arguments) {
  script::Engine* engine = ensure();
  if (!engine) return std::nullopt;
  Entry entry(*this);
  std::vector<script::Value> block(arguments.size() + 1);
  block[0] = script::Value::integer(static_cast<std::int64_t>(arguments.size()));
  // Making strings never collects, so the ones made first stay alive until
  // the call copies them onto the engine's stack.
  const bool made = script::runProtected(*engine, [&] {
    for (std::size_t i = 0; i < arguments.size(); ++i) block[i + 1] = script::makeString(*engine, arguments[i]);
  });
  if (made) script::vm::callFunction(*engine, name, script::ArgBlock{block.data()});
  // A protected entry clears the result register: keep the completion value
  // first (nothing collects before it is converted).
  const script::Value completion = engine->result;
  std::string text;
  script::runProtected(*engine, [&] {
    text = utf16ToAnsi(script::toStringValue(*engine, completion).asString()->view());
  });
  return text;
}

} // namespace plumex::container
