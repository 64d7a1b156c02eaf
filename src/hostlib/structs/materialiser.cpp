#include <cstring>
#include <string>

#include "hostlib/streams/string_stream.h"
#include "hostlib/structs/native_structs.h"
#include "hostlib/structs/struct_views.h"
#include "platform/ansi_text.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::structs {
namespace {

using script::Kind;
using script::Value;

// Where stand-in addresses start: low enough for 32 bits, and never 0.
constexpr std::uint64_t kFirstStandIn = 0x10000;
constexpr std::uint64_t kStandInAlignment = 16;

// The bytes of a cell holding a number in a target of that code.
std::size_t cellSize(std::uint32_t target) {
  switch (target) {
    case kChar:
    case kUnsignedChar: return 1;
    case kShort:
    case kUnsignedShort: return 2;
    case kInt64:
    case kUnsignedInt64:
    case kDouble: return 8;
    default: return 4;
  }
}

std::span<const std::uint8_t> bytesOf(const void* p, std::size_t n) {
  return {static_cast<const std::uint8_t*>(p), n};
}

} // namespace

struct Materialiser::Pending {
  StructView view;
  std::uint32_t address;
};

Materialiser::Materialiser() : nextStandIn_(kFirstStandIn) {}
Materialiser::~Materialiser() = default;

std::uint32_t Materialiser::copyOf(const Value& structValue) {
  const StructView* view = structViewOf(structValue);
  if (!view) return 0;
  const std::uint32_t address = enqueue(*view);
  while (!pending_.empty()) {
    const Pending next = std::move(pending_.back());
    pending_.pop_back();
    fillPointers(next);
  }
  return address;
}

std::uint32_t Materialiser::copyBytes(std::span<const std::uint8_t> bytes) {
  return place(bytes.size(), bytes);
}

std::span<std::uint8_t> Materialiser::resolve(std::uint32_t address) {
  auto it = blocks_.upper_bound(address);
  if (it == blocks_.begin()) return {};
  --it;
  const std::size_t within = address - it->first;
  if (within >= it->second.size) return {};
  return {it->second.bytes.get() + within, it->second.size - within};
}

std::uint32_t Materialiser::place(std::size_t size, std::span<const std::uint8_t> initial) {
  // At least a byte, so that every block has an address of its own.
  const std::size_t n = size == 0 ? 1 : size;
  auto bytes = std::make_unique<std::uint8_t[]>(n);
  if (!initial.empty()) std::memcpy(bytes.get(), initial.data(), initial.size());
  std::uint32_t address;
  if constexpr (sizeof(void*) <= sizeof(std::uint32_t)) {
    address = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(bytes.get()));
  } else {
    if (nextStandIn_ + n > 0xFFFFFFFFu) return 0;
    address = static_cast<std::uint32_t>(nextStandIn_);
    // A gap after each block: an address one past its end is no other's.
    nextStandIn_ = (nextStandIn_ + n + kStandInAlignment) / kStandInAlignment * kStandInAlignment;
  }
  blocks_.emplace(address, Block{std::move(bytes), n});
  return address;
}

std::uint32_t Materialiser::enqueue(const StructView& view) {
  const Key key{view.block.get(), view.base, view.layout.get()};
  if (const auto it = copies_.find(key); it != copies_.end()) return it->second;
  const std::uint32_t address = place(view.layout->size, view.bytes());
  copies_.emplace(key, address);
  held_.push_back(view.block);
  pending_.push_back({view, address});
  return address;
}

void Materialiser::fillPointers(const Pending& pending) {
  const StructView& view = pending.view;
  view.block->forEachPointer(view.base, view.base + view.layout->size, [&](std::uint32_t at, const Value& v) {
    const std::uint32_t offset = at - view.base;
    const std::uint32_t code = view.layout->pointerCodeAt(offset);
    if (code == 0) return;
    const std::uint32_t target = pointee(code, v);
    const std::span<std::uint8_t> copy = resolve(pending.address);
    if (copy.size() >= offset + sizeof target) std::memcpy(copy.data() + offset, &target, sizeof target);
  });
}

std::uint32_t Materialiser::pointee(std::uint32_t code, const Value& v) {
  const std::uint32_t target = code & ~static_cast<std::uint32_t>(kPointer);
  switch (v.kind) {
    case Kind::Boolean: {
      const std::int64_t n = v.booleanValue() ? 1 : 0;
      return place(target == 0 ? 4 : cellSize(target), bytesOf(&n, target == 0 ? 4 : cellSize(target)));
    }
    case Kind::Integer: {
      const std::int64_t n = v.integerValue();
      if (target == 0) return static_cast<std::uint32_t>(n);
      return place(cellSize(target), bytesOf(&n, cellSize(target)));
    }
    case Kind::Float: {
      if (target == kFloat) {
        const float f = toFloat(v.floatValue());
        return place(sizeof f, bytesOf(&f, sizeof f));
      }
      const double d = v.floatValue();
      return place(sizeof d, bytesOf(&d, sizeof d));
    }
    case Kind::String: {
      const std::u16string_view text = v.asString()->view();
      if (target == kShort || target == kUnsignedShort) {
        const std::u16string wide(text);  // with its terminator
        return place((wide.size() + 1) * sizeof(char16_t), bytesOf(wide.c_str(), (wide.size() + 1) * sizeof(char16_t)));
      }
      const std::string ansi = utf16ToAnsi(text);
      return place(ansi.size() + 1, bytesOf(ansi.c_str(), ansi.size() + 1));
    }
    case Kind::Native:
      if (const auto content = streams::stringStreamContent(v)) return copyBytes(*content);
      if (const StructView* view = structViewOf(v)) return enqueue(*view);
      return 0;
    default: return 0;
  }
}

} // namespace plumex::hostlib::structs
