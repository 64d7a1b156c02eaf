#include "hostlib/dll/call_frame.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "hostlib/streams/string_stream.h"
#include "hostlib/structs/struct_block.h"
#include "platform/ansi_text.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::dll {
namespace {

using script::Kind;
using script::Value;

template <class T>
void put(std::span<std::uint8_t> to, T n) {
  std::memcpy(to.data(), &n, std::min(sizeof n, to.size()));
}

// The bytes of a number written for a parameter kind: an integer's low
// bytes or a floating-point value. False for kinds that take no number.
bool putInteger(std::span<std::uint8_t> to, ParamKind kind, std::int64_t n) {
  switch (kind) {
    case ParamKind::Char:
    case ParamKind::UnsignedChar: put(to, static_cast<std::uint8_t>(n)); return true;
    case ParamKind::Short:
    case ParamKind::UnsignedShort: put(to, static_cast<std::uint16_t>(n)); return true;
    case ParamKind::Int:
    case ParamKind::UnsignedInt:
    case ParamKind::Pointer: put(to, static_cast<std::uint32_t>(n)); return true;
    case ParamKind::Int64: put(to, n); return true;
    case ParamKind::Float: put(to, structs::toFloat(static_cast<double>(n))); return true;
    case ParamKind::Double: put(to, static_cast<double>(n)); return true;
    default: return false;
  }
}

bool putFloat(script::Engine& e, std::span<std::uint8_t> to, ParamKind kind, const Value& v) {
  switch (kind) {
    case ParamKind::Float: put(to, structs::toFloat(v.floatValue())); return true;
    case ParamKind::Double: put(to, v.floatValue()); return true;
    case ParamKind::Pointer: return false;
    default: return putInteger(to, kind, script::toInt64(e, v));
  }
}

// The block a number is passed in by reference.
std::size_t numberCellSize(ParamKind kind) {
  switch (kind) {
    case ParamKind::Short:
    case ParamKind::UnsignedShort: return 2;
    case ParamKind::Int:
    case ParamKind::UnsignedInt:
    case ParamKind::Float: return 4;
    case ParamKind::Int64:
    case ParamKind::Double: return 8;
    default: return 1;
  }
}

bool takesNumbers(ParamKind kind) {
  return kind != ParamKind::Void && kind != ParamKind::Pointer && kind != ParamKind::Structure;
}

bool isText16(ParamKind kind) { return kind == ParamKind::Short || kind == ParamKind::UnsignedShort; }
bool isText8(ParamKind kind) { return kind == ParamKind::Char || kind == ParamKind::UnsignedChar; }

std::span<const std::uint8_t> bytesOf(const void* p, std::size_t n) { return {static_cast<const std::uint8_t*>(p), n}; }

std::string cannotPass(const Value& v, const ParamDescriptor& p) {
  return describeKind(v) + " cannot be passed as " + p.typeName;
}

std::string sizeMismatch(std::size_t have, const ParamDescriptor& p) {
  return "a Struct of " + std::to_string(have) + " bytes for " + p.typeName + " of " + std::to_string(p.size) +
         " bytes";
}

template <class T>
T readAs(std::span<const std::uint8_t> block) {
  T n{};
  std::memcpy(&n, block.data(), std::min(sizeof n, block.size()));
  return n;
}

} // namespace

std::string describeKind(const Value& v) {
  switch (v.kind) {
    case Kind::Undefined: return "Undefined";
    case Kind::Null: return "Null";
    case Kind::Boolean: return "Boolean";
    case Kind::Integer: return "Integer";
    case Kind::String: return "String";
    case Kind::Float: return "Float";
    case Kind::NaN: return "NaN";
    case Kind::Array: return "Array";
    case Kind::Object: return "Object";
    case Kind::Function: return "Function";
    case Kind::Native:
      if (streams::stringStreamContent(v)) return "StringStream";
      if (structs::layoutOf(v)) return "Struct";
      return "native object";
    default: return "value";
  }
}

std::uint32_t FunctionSignature::argumentArea() const {
  std::uint32_t bytes = hasHiddenResult() ? 4 : 0;
  for (const ParamDescriptor& p : params) bytes += argumentBytes(p);
  return bytes;
}

bool FunctionSignature::hasHiddenResult() const {
  return !result.byReference && result.kind == ParamKind::Structure && result.size > 8;
}

CallFrame::CallFrame(script::Engine& engine, const FunctionSignature& signature)
    : engine_(engine), signature_(signature) {}

std::optional<std::string> CallFrame::convert(std::span<const Value> args) {
  std::vector<std::uint8_t> area(signature_.argumentArea());
  std::size_t at = 0;
  if (!signature_.result.byReference && signature_.result.kind == ParamKind::Structure) {
    resultBlock_ = memory_.copyBytes(std::vector<std::uint8_t>(signature_.result.size));
    if (signature_.hasHiddenResult()) {
      put(std::span(area).subspan(0, 4), resultBlock_);
      at = 4;
    }
  }
  const script::Atom valueAtom = engine_.internAnsi("value");
  for (std::size_t i = 0; i < signature_.params.size(); ++i) {
    const ParamDescriptor& p = signature_.params[i];
    const std::span<std::uint8_t> slot = std::span(area).subspan(at, argumentBytes(p));
    at += slot.size();
    Value v = args[i];
    const bool boxed = v.is(Kind::Object);
    if (boxed) {
      const Value* inner = v.asObject()->lookup(valueAtom);
      v = inner ? *inner : Value::undefined();
    }
    std::uint32_t block = 0;
    auto failure = p.byReference ? byReference(p, v, block) : byValue(p, v, slot, block);
    if (failure) return "argument " + std::to_string(i + 1) + ": " + *failure;
    if (p.byReference) put(slot, block);
    if (boxed && block != 0) boxes_.push_back({args[i], v, p.kind, block});
  }
  words_.resize(area.size() / 4);
  if (!words_.empty()) std::memcpy(words_.data(), area.data(), words_.size() * 4);
  return std::nullopt;
}

std::optional<std::string> CallFrame::byValue(const ParamDescriptor& p, const Value& v, std::span<std::uint8_t> slot,
                                              std::uint32_t& block) {
  switch (v.kind) {
    case Kind::Null:
      if (p.kind == ParamKind::Pointer) return std::nullopt;  // the slot is zero
      break;
    case Kind::Boolean:
      if (putInteger(slot, p.kind, v.booleanValue() ? 1 : 0)) return std::nullopt;
      break;
    case Kind::Integer:
      if (putInteger(slot, p.kind, v.integerValue())) return std::nullopt;
      break;
    case Kind::Float:
      if (putFloat(engine_, slot, p.kind, v)) return std::nullopt;
      break;
    case Kind::String: {
      const std::u16string_view text = v.asString()->view();
      if (text.empty() || !takesNumbers(p.kind)) break;
      // The first code unit: all 16 bits of it even for a char.
      if (isText16(p.kind) || isText8(p.kind)) put(slot, static_cast<std::uint16_t>(text[0]));
      else putInteger(slot, p.kind, text[0]);
      return std::nullopt;
    }
    case Kind::Native:
      if (const auto content = streams::stringStreamContent(v)) {
        if (p.kind == ParamKind::Pointer) {
          block = memory_.copyBytes(*content);
          put(slot, block);
          return std::nullopt;
        }
        if (p.kind == ParamKind::Structure) {
          if (!content->empty())
            std::memcpy(slot.data(), content->data(), std::min<std::size_t>(content->size(), p.size));
          return std::nullopt;
        }
        break;
      }
      if (const auto layout = structs::layoutOf(v)) {
        if (p.kind == ParamKind::Pointer) {
          block = memory_.copyOf(v);
          put(slot, block);
          return std::nullopt;
        }
        if (p.kind != ParamKind::Structure) break;
        if (layout->size != p.size) return sizeMismatch(layout->size, p);
        // The copy's pointer members point at temporaries of this frame.
        const std::span<const std::uint8_t> copy = memory_.resolve(memory_.copyOf(v));
        std::memcpy(slot.data(), copy.data(), std::min<std::size_t>(copy.size(), p.size));
        return std::nullopt;
      }
      break;
    default: break;
  }
  return cannotPass(v, p);
}

std::optional<std::string> CallFrame::byReference(const ParamDescriptor& p, const Value& v, std::uint32_t& block) {
  switch (v.kind) {
    case Kind::Null: return std::nullopt;
    case Kind::Boolean:
    case Kind::Integer:
    case Kind::Float: {
      if (!takesNumbers(p.kind)) break;
      std::vector<std::uint8_t> cell(numberCellSize(p.kind));
      if (v.is(Kind::Float)) putFloat(engine_, cell, p.kind, v);
      else putInteger(cell, p.kind, v.is(Kind::Boolean) ? (v.booleanValue() ? 1 : 0) : v.integerValue());
      block = memory_.copyBytes(cell);
      return std::nullopt;
    }
    case Kind::String: {
      const std::u16string_view text = v.asString()->view();
      if (isText8(p.kind)) {
        const std::string ansi = utf16ToAnsi(text);
        block = memory_.copyBytes(bytesOf(ansi.c_str(), ansi.size() + 1));
        return std::nullopt;
      }
      if (isText16(p.kind)) {
        const std::u16string wide(text);
        block = memory_.copyBytes(bytesOf(wide.c_str(), (wide.size() + 1) * sizeof(char16_t)));
        return std::nullopt;
      }
      break;
    }
    case Kind::Native:
      if (p.kind == ParamKind::Pointer) break;
      if (const auto content = streams::stringStreamContent(v)) {
        if (p.kind == ParamKind::Structure) {
          std::vector<std::uint8_t> bytes(p.size);
          if (!content->empty())
            std::memcpy(bytes.data(), content->data(), std::min<std::size_t>(content->size(), p.size));
          block = memory_.copyBytes(bytes);
        } else {
          block = memory_.copyBytes(*content);
        }
        return std::nullopt;
      }
      if (const auto layout = structs::layoutOf(v)) {
        if (p.kind == ParamKind::Structure && layout->size != p.size) return sizeMismatch(layout->size, p);
        block = memory_.copyOf(v);
        return std::nullopt;
      }
      break;
    default: break;
  }
  return cannotPass(v, p);
}

Value CallFrame::finish(const CallOutcome& outcome) {
  for (const Box& box : boxes_) {
    const Value updated = boxValue(box);
    box.object.asObject()->set(engine_, engine_.internAnsi("value"), updated);
  }
  return resultValue(outcome);
}

// What the function left in a box's block, read within the block.
Value CallFrame::boxValue(const Box& box) {
  const std::span<const std::uint8_t> block = memory_.resolve(box.address);
  const auto asStream = [&] { return streams::makeStringStream(engine_, {block.begin(), block.end()}); };
  switch (box.kind) {
    case ParamKind::Char:
    case ParamKind::UnsignedChar: {
      if (block.size() < 2) return Value::integer(readAs<std::int8_t>(block));
      if (!box.passed.is(Kind::String)) return asStream();
      const auto end = std::find(block.begin(), block.end(), 0);
      return script::makeString(engine_, std::string(block.begin(), end));
    }
    case ParamKind::Short:
    case ParamKind::UnsignedShort: {
      if (block.size() < 3) return Value::integer(readAs<std::int16_t>(block));
      if (!box.passed.is(Kind::String)) return asStream();
      std::u16string text;
      for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(block[i] | block[i + 1] << 8);
        if (c == 0) break;
        text += c;
      }
      return script::copyString(engine_, text);
    }
    case ParamKind::Int:
    case ParamKind::UnsignedInt:
      return block.size() <= 4 ? Value::integer(readAs<std::int32_t>(block)) : asStream();
    case ParamKind::Int64: return block.size() <= 8 ? Value::integer(readAs<std::int64_t>(block)) : asStream();
    case ParamKind::Float: return block.size() <= 4 ? Value::number(readAs<float>(block)) : asStream();
    case ParamKind::Double: return block.size() <= 8 ? Value::number(readAs<double>(block)) : asStream();
    default:
      if (const auto layout = structs::layoutOf(box.passed); layout && block.size() >= layout->size)
        return structs::makeStruct(engine_, layout, block.first(layout->size));
      return asStream();
  }
}

Value CallFrame::resultValue(const CallOutcome& outcome) {
  const ParamDescriptor& r = signature_.result;
  const std::uint64_t n = outcome.integer;
  if (r.byReference) return Value::integer(static_cast<std::int32_t>(n));
  switch (r.kind) {
    case ParamKind::Void: return Value::undefined();
    case ParamKind::Char:
    case ParamKind::UnsignedChar: return Value::integer(static_cast<std::int8_t>(n));
    case ParamKind::Short:
    case ParamKind::UnsignedShort: return Value::integer(static_cast<std::int16_t>(n));
    case ParamKind::Int:
    case ParamKind::UnsignedInt:
    case ParamKind::Pointer: return Value::integer(static_cast<std::int32_t>(n));
    case ParamKind::Int64: return Value::integer(static_cast<std::int64_t>(n));
    case ParamKind::Float:
    case ParamKind::Double: return Value::number(outcome.floating);
    case ParamKind::Structure: break;
  }
  const std::span<std::uint8_t> block = memory_.resolve(resultBlock_).first(r.size);
  if (!signature_.hasHiddenResult()) put(block, n);
  const auto layout = r.structName.empty() ? nullptr : structs::namedLayout(engine_, r.structName);
  if (layout && layout->size == block.size()) return structs::makeStruct(engine_, layout, block);
  return streams::makeStringStream(engine_, {block.begin(), block.end()});
}

} // namespace plumex::hostlib::dll
