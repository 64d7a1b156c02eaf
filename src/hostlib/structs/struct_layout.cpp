#include "hostlib/structs/struct_layout.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "moviehost/xml_document.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::structs {
namespace {

using moviehost::XmlElement;

// What a member's type text says.
struct MemberType {
  std::uint32_t code = 0;  // 0: invalid
  std::uint32_t size = 0;  // 0 for structures: their layout says
  std::u16string_view structName;  // "struct" for an inline one
};

struct Word {
  std::u16string_view text;
  std::uint32_t signedCode;
  std::uint32_t unsignedCode;  // 0: "unsigned" not allowed
  std::uint32_t size;
};
constexpr Word kWords[] = {
    {u"char", kChar, kUnsignedChar, 1},
    {u"short", kShort, kUnsignedShort, 2},
    {u"int64", kInt64, kUnsignedInt64, 8},
    {u"int", kInt, kUnsignedInt, 4},
    {u"long", kInt, kUnsignedInt, 4},
    {u"float", kFloat, 0, 4},
    {u"double", kDouble, 0, 8},
    {u"pointer", kPointer, 0, kPointerSize},
    {u"String", kPointer | kChar, 0, kPointerSize},
    {u"Boolean", kBoolean, 0, 4},
};

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Whole words only: a structure named "intPair" is not an int.
MemberType parseType(std::u16string_view text) {
  text = trim(text);
  bool isUnsigned = false;
  constexpr std::u16string_view kUnsigned = u"unsigned";
  if (text.size() > kUnsigned.size() && text.starts_with(kUnsigned) && isSpace(text[kUnsigned.size()])) {
    isUnsigned = true;
    text = trim(text.substr(kUnsigned.size()));
  }
  bool isPointer = false;
  if (text.ends_with(u'*')) {
    isPointer = true;
    text = trim(text.substr(0, text.size() - 1));
  }
  if (text.empty()) return {};
  MemberType type;
  const auto word = std::find_if(std::begin(kWords), std::end(kWords), [&](const Word& w) { return w.text == text; });
  if (word != std::end(kWords)) {
    type.code = isUnsigned ? word->unsignedCode : word->signedCode;
    type.size = word->size;
  } else if (!isUnsigned) {
    type.code = kStructure;
    type.structName = text;
  }
  if (type.code == 0 || !isPointer) return type;
  type.code = (type.code & kPointer) ? kPointer : type.code | kPointer;
  type.size = kPointerSize;
  type.structName = {};
  return type;
}

// Decimal, as the C library reads it: leading digits after an optional
// sign. Nothing when the count could not fit any structure.
std::optional<std::int32_t> parseCount(const std::u16string* text) {
  if (!text) return -1;
  std::u16string_view s = trim(*text);
  bool negative = false;
  if (!s.empty() && (s.front() == u'-' || s.front() == u'+')) {
    negative = s.front() == u'-';
    s.remove_prefix(1);
  }
  std::int64_t n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    n = n * 10 + (c - u'0');
    if (n > kMaxStructSize) {
      if (!negative) return std::nullopt;
      return std::numeric_limits<std::int32_t>::min();
    }
  }
  return static_cast<std::int32_t>(negative ? -n : n);
}

std::uint64_t roundUp(std::uint64_t n, std::uint32_t to) { return to == 0 ? n : (n + to - 1) / to * to; }

class LayoutReader {
public:
  LayoutReader(script::Engine& engine, std::int32_t alignment)
      : engine_(engine), alignment_(static_cast<std::uint32_t>(alignment)) {}

  // The layout of the root's members, at nesting depth `depth`; its height
  // (the deepest nesting below it) in `height`.
  std::shared_ptr<StructLayout> layout(const XmlElement& root, int depth, int& height) {
    if (depth > kMaxNesting) return nullptr;
    auto out = std::make_shared<StructLayout>();
    out->members.reserve(root.children.size());
    height = 0;
    std::uint64_t offset = 0;
    for (const XmlElement& element : root.children) {
      const std::u16string* typeText = element.attribute(u"type");
      const MemberType type = parseType(typeText ? std::u16string_view(*typeText) : std::u16string_view());
      const std::optional<std::int32_t> count = parseCount(element.attribute(u"count"));
      if (type.code == 0 || !count) return nullptr;
      StructMember m;
      m.code = type.code;
      m.count = *count;
      std::uint32_t align;
      if (type.code == kStructure) {
        int below = 0;
        m.nested = type.structName == u"struct" ? layout(element, depth + 1, below)
                                                 : named(type.structName, depth + 1, below);
        if (!m.nested) return nullptr;
        height = std::max(height, below + 1);
        m.elementSize = m.nested->size;
        align = std::min(alignment_, m.nested->alignment);
      } else {
        m.elementSize = type.size;
        align = std::min(alignment_, type.size);
      }
      out->alignment = std::max(out->alignment, align);
      offset = roundUp(offset, align);
      const std::uint64_t size = std::uint64_t{m.elementSize} * m.elements();
      if (offset + size > kMaxStructSize) return nullptr;
      m.offset = static_cast<std::uint32_t>(offset);
      m.size = static_cast<std::uint32_t>(size);
      offset += size;
      m.name = element.name;
      m.atom = engine_.intern(m.name);
      out->members.push_back(std::move(m));
    }
    const std::uint64_t total = roundUp(offset, out->alignment);
    if (total > kMaxStructSize) return nullptr;
    out->size = static_cast<std::uint32_t>(total);
    return out;
  }

private:
  // A structure named by a global: read once per layout, however often
  // it is used; one being read again is a cycle.
  std::shared_ptr<const StructLayout> named(std::u16string_view name, int depth, int& height) {
    const std::u16string key(name);
    if (const auto done = done_.find(key); done != done_.end()) {
      height = done->second.height;
      return depth + height > kMaxNesting ? nullptr : done->second.layout;
    }
    if (!open_.insert(key).second) return nullptr;
    std::shared_ptr<const StructLayout> found;
    if (const auto text = description(name)) {
      if (const auto root = moviehost::readXml(*text)) found = layout(*root, depth, height);
    }
    open_.erase(key);
    if (found) done_.emplace(key, Done{found, height});
    return found;
  }

  std::optional<std::u16string> description(std::u16string_view name) const {
    const auto atom = engine_.atoms().find(name);
    if (!atom) return std::nullopt;
    const script::Value& v = engine_.global(*atom);
    if (!v.is(script::Kind::String)) return std::nullopt;
    return std::u16string(v.asString()->view());
  }

  struct Done {
    std::shared_ptr<const StructLayout> layout;
    int height;
  };

  script::Engine& engine_;
  std::uint32_t alignment_;
  std::unordered_map<std::u16string, Done> done_;
  std::unordered_set<std::u16string> open_;
};

} // namespace

const StructMember* StructLayout::find(script::Atom atom) const {
  for (const StructMember& m : members)
    if (m.atom == atom) return &m;
  return nullptr;
}

std::uint32_t StructLayout::pointerCodeAt(std::uint32_t offset) const {
  for (const StructMember& m : members) {
    if (offset < m.offset || offset - m.offset >= m.size) continue;
    const std::uint32_t within = offset - m.offset;
    if (m.isPointer()) return within % kPointerSize == 0 ? m.code : 0;
    if (m.nested) return m.nested->pointerCodeAt(within % m.elementSize);
    return 0;
  }
  return 0;
}

bool isValidAlignment(std::int64_t alignment) {
  return alignment == 1 || alignment == 2 || alignment == 4 ||
         (alignment > 0 && alignment % 8 == 0 && alignment <= std::numeric_limits<std::int32_t>::max());
}

std::shared_ptr<const StructLayout> readLayout(script::Engine& engine, std::u16string_view description,
                                               std::int32_t alignment) {
  const auto root = moviehost::readXml(description);
  if (!root) return nullptr;
  int height = 0;
  return LayoutReader(engine, alignment).layout(*root, 0, height);
}

} // namespace plumex::hostlib::structs
