#pragma once
// Calling class hooks as the engine does, for tests of native classes: a
// native object's hooks get its instance, the classes of the value kinds a
// pointer to the value, class objects null.

#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "../script/values/engine_fixture.h"

namespace plumex::script::testing {

class HookTest : public EngineTest {
protected:
  // The count, then the arguments.
  static std::vector<Value> block(std::initializer_list<Value> args) {
    std::vector<Value> b{Value::integer(static_cast<std::int64_t>(args.size()))};
    b.insert(b.end(), args.begin(), args.end());
    return b;
  }

  ClassRecord* classOf(const Value& v) {
    return v.is(Kind::Native) ? v.asNative()->classRecord() : e.classForKind(v.kind);
  }
  ClassRecord& classNamed(std::string_view name) {
    return *e.global(e.internAnsi(name)).asNative()->classRecord();
  }

  // The method's result, or nothing when the class declines the name.
  std::optional<Value> method(const Value& self, std::string_view name,
                              std::initializer_list<Value> args = {}) {
    Value receiver = self;
    std::vector<Value> b = block(args);
    Value out;
    ClassRecord* cls = classOf(self);
    if (!cls->method(e, *cls, instance(receiver), e.internAnsi(name), out, ArgBlock{b.data()}))
      return std::nullopt;
    return out;
  }
  std::optional<Value> get(const Value& self, std::string_view name) {
    Value receiver = self;
    Value io = Value::integer(-12345);  // the hook must overwrite it
    ClassRecord* cls = classOf(self);
    if (!cls->property(e, *cls, instance(receiver), e.internAnsi(name), false, io)) {
      EXPECT_TRUE(io.is(Kind::Undefined)) << "a declined read still writes Undefined";
      return std::nullopt;
    }
    return io;
  }
  bool set(const Value& self, std::string_view name, const Value& v) {
    Value receiver = self;
    Value io = v;
    ClassRecord* cls = classOf(self);
    return cls->property(e, *cls, instance(receiver), e.internAnsi(name), true, io);
  }
  Value construct(std::string_view className, std::initializer_list<Value> args = {}) {
    std::vector<Value> b = block(args);
    ClassRecord& cls = classNamed(className);
    Value out = Value::integer(-12345);
    cls.construct(e, cls, ArgBlock{b.data()}, out);
    return out;
  }
  Value callClass(std::string_view className, std::initializer_list<Value> args = {}) {
    std::vector<Value> b = block(args);
    ClassRecord& cls = classNamed(className);
    Value out = Value::integer(-12345);
    cls.call(e, cls, nullptr, out, ArgBlock{b.data()});
    return out;
  }
  Value global(std::string_view name) { return e.global(e.internAnsi(name)); }

private:
  static void* instance(Value& receiver) {
    return receiver.is(Kind::Native) ? receiver.asNative()->instance() : &receiver;
  }
};

} // namespace plumex::script::testing
