#pragma once
// One call of a registered DLL function, apart from the call itself: the
// arguments converted into argument words and temporary blocks, and after
// the call the result and the new values of the boxes (Objects whose
// "value" was passed). Temporaries live as long as the frame.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hostlib/dll/dll_platform.h"
#include "hostlib/dll/param_types.h"
#include "hostlib/structs/native_structs.h"
#include "script/values/engine.h"

namespace plumex::hostlib::dll {

struct FunctionSignature {
  // The name scripts call it by, for explanations and errors.
  std::string name;
  std::uint32_t flags = 0;
  ParamDescriptor result;
  std::vector<ParamDescriptor> params;

  // The argument words' bytes, a hidden result pointer included.
  std::uint32_t argumentArea() const;
  // A structure result too large for EDX:EAX is written where a hidden
  // first argument points.
  bool hasHiddenResult() const;
};

class CallFrame {
public:
  CallFrame(script::Engine& engine, const FunctionSignature& signature);

  // Converts the arguments (beyond the declared ones ignored); the
  // explanation of the first that cannot be passed, or nothing.
  std::optional<std::string> convert(std::span<const script::Value> args);

  std::span<const std::uint32_t> words() const { return words_; }
  structs::Materialiser& memory() { return memory_; }

  // After a call: stores what the function wrote into the boxes, then
  // gives the result.
  script::Value finish(const CallOutcome& outcome);

private:
  struct Box {
    script::Value object;
    // What "value" held when it was passed.
    script::Value passed;
    ParamKind kind;
    std::uint32_t address;
  };

  std::optional<std::string> byValue(const ParamDescriptor& p, const script::Value& v, std::span<std::uint8_t> slot,
                                     std::uint32_t& block);
  std::optional<std::string> byReference(const ParamDescriptor& p, const script::Value& v, std::uint32_t& block);
  script::Value boxValue(const Box& box);
  script::Value resultValue(const CallOutcome& outcome);

  script::Engine& engine_;
  const FunctionSignature& signature_;
  structs::Materialiser memory_;
  std::vector<std::uint32_t> words_;
  std::vector<Box> boxes_;
  std::uint32_t resultBlock_ = 0;
};

// The kind of a value as explanations name it ("Integer", "StringStream").
std::string describeKind(const script::Value& v);

} // namespace plumex::hostlib::dll
