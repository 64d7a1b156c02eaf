#pragma once
// An engine for tests, with its warnings collected and a stand-in for the
// virtual machine that runs functions written in C++.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/string_record.h"

namespace plumex::script::testing {

// The code record of a test function.
class NativeCode final : public Cell {
public:
  using Body = std::function<Value(Engine&, const Value& self, ArgBlock args)>;
  explicit NativeCode(Body body) : body(std::move(body)) {}
  Body body;
  std::size_t byteSize() const override { return sizeof(*this); }
};

class EngineTest : public ::testing::Test {
protected:
  EngineTest() : engine_(Engine::create()), e(*engine_) {
    e.setWarningSink(
        [](void* data, std::string_view text) {
          static_cast<std::vector<std::string>*>(data)->emplace_back(text);
        },
        &warnings);
    e.vm.runFunction = [](Engine& engine, Value* thisSlot) {
      const std::int64_t argc = thisSlot[1].integerValue();
      const Value& fn = thisSlot[2 + argc];
      auto* code = static_cast<NativeCode*>(fn.asFunction()->code());
      engine.result = code->body(engine, thisSlot[0], ArgBlock{thisSlot + 1});
    };
  }

  Value function(NativeCode::Body body) {
    return Value::function(newFunction(e, e.heap().make<NativeCode>(std::move(body))));
  }
  Value str(std::u16string_view text) { return copyString(e, text); }
  static std::u16string text(const Value& v) {
    return v.is(Kind::String) ? std::u16string(v.asString()->view()) : u"<not a string>";
  }
  std::vector<std::string> takeWarnings() { return std::exchange(warnings, {}); }

  std::unique_ptr<Engine> engine_;
  Engine& e;
  std::vector<std::string> warnings;
};

} // namespace plumex::script::testing
