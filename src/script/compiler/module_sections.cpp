#include "script/compiler/module_sections.h"

#include <algorithm>
#include <cstring>

#include "script/compiler/module_image.h"

namespace plumex::script::compiler {

namespace {

// Reads fields of one section, never past its end.
class Cursor {
public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ >= bytes_.size(); }
  std::size_t left() const { return bytes_.size() - pos_; }

  bool byte(std::uint8_t& v) {
    if (left() < 1) return false;
    v = bytes_[pos_++];
    return true;
  }
  bool bigEndian32(std::uint32_t& v) {
    if (left() < 4) return false;
    v = readBigEndian32(&bytes_[pos_]);
    pos_ += 4;
    return true;
  }
  bool raw(std::size_t n, const std::uint8_t*& p) {
    if (left() < n) return false;
    p = &bytes_[pos_];
    pos_ += n;
    return true;
  }
  // 8-bit text up to a 0 byte; without one, up to the end when endIsZero.
  bool text(std::string& out, bool endIsZero) {
    const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(pos_);
    const auto zero = std::find(begin, bytes_.end(), std::uint8_t{0});
    if (zero == bytes_.end() && !endIsZero) return false;
    out.assign(begin, zero);
    pos_ = static_cast<std::size_t>(zero - bytes_.begin()) + (zero == bytes_.end() ? 0 : 1);
    return true;
  }
  // A big-endian byte count and that much UTF-16 little-endian text.
  bool utf16(std::u16string& out) {
    std::uint32_t bytes;
    const std::uint8_t* p;
    if (!bigEndian32(bytes) || bytes % 2 != 0 || !raw(bytes, p)) return false;
    out.resize(bytes / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
      out[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
    return true;
  }

private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

std::string at(const char* what, std::size_t offset) {
  return std::string(what) + " at offset " + std::to_string(offset);
}

bool readConstant(Cursor& in, ModuleConstant& c) {
  const std::uint8_t* p;
  switch (static_cast<ConstantType>(c.type)) {
  case ConstantType::Null:
  case ConstantType::NaN: return true;
  case ConstantType::Boolean: {
    std::uint8_t b;
    if (!in.byte(b)) return false;
    c.integer = b != 0;
    return true;
  }
  case ConstantType::Integer: {
    std::uint32_t high, low;
    if (!in.bigEndian32(high) || !in.bigEndian32(low)) return false;
    c.integer = static_cast<std::int64_t>(std::uint64_t{high} << 32 | low);
    return true;
  }
  case ConstantType::Float: {
    if (!in.raw(8, p)) return false;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
    std::memcpy(&c.number, &bits, sizeof bits);
    return true;
  }
  case ConstantType::String: return in.utf16(c.text);
  // The section copy ends in a 0 byte, so a name cut short at the end
  // reads as far as the section goes.
  case ConstantType::Name: return in.text(c.name, true);
  case ConstantType::RegExp: {
    std::uint8_t flags;
    if (!in.byte(flags)) return false;
    c.flags = flags;
    return in.utf16(c.text);
  }
  }
  return false;
}

bool isKnownType(std::uint8_t t) {
  switch (static_cast<ConstantType>(t)) {
  case ConstantType::Null: case ConstantType::Boolean: case ConstantType::Integer:
  case ConstantType::String: case ConstantType::Float: case ConstantType::Name:
  case ConstantType::RegExp: case ConstantType::NaN:
    return true;
  }
  return false;
}

} // namespace

ModuleConstants readConstants(const ModuleImage& image) {
  ModuleConstants out;
  Cursor in(image.section(SectionType::Constants));
  while (!in.atEnd()) {
    ModuleConstant c;
    c.offset = static_cast<std::uint32_t>(in.position());
    in.byte(c.type);
    if (!isKnownType(c.type)) {
      out.error = at(("unknown constant type " + std::to_string(c.type)).c_str(), c.offset);
      break;
    }
    if (!readConstant(in, c)) {
      out.error = at("constant cut short", c.offset);
      break;
    }
    out.entries.push_back(std::move(c));
  }
  return out;
}

ModuleFunctions readFunctions(const ModuleImage& image) {
  ModuleFunctions out;
  const std::size_t codeSize = image.section(SectionType::Code).size();
  Cursor in(image.section(SectionType::Functions));
  if (in.atEnd()) return out;
  std::uint32_t count;
  if (!in.bigEndian32(count)) {
    out.error = "function count cut short";
    return out;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t start = in.position();
    ModuleFunction f;
    if (!in.text(f.name, false) || !in.bigEndian32(f.offset)) {
      out.error = at("function entry cut short", start);
      return out;
    }
    if (f.offset > codeSize || (!out.entries.empty() && f.offset < out.entries.back().offset)) {
      out.error = at("function code offset out of order", start);
      return out;
    }
    if (!out.entries.empty()) out.entries.back().end = f.offset;
    f.end = static_cast<std::uint32_t>(codeSize);
    out.entries.push_back(std::move(f));
  }
  return out;
}

ModuleLines readLines(const ModuleImage& image) {
  ModuleLines out;
  Cursor in(image.section(SectionType::Lines));
  while (!in.atEnd()) {
    const std::size_t start = in.position();
    std::uint8_t tag;
    in.byte(tag);
    if (tag == kLineTagSource) {
      std::uint32_t length;
      const std::uint8_t* p;
      if (!in.bigEndian32(length) || !in.raw(length, p)) {
        out.error = at("source name record cut short", start);
        break;
      }
      if (!out.hasSource) out.source.assign(p, p + length);
      out.hasSource = true;
    } else if (tag == kLineTagLine) {
      LineRecord r;
      std::uint32_t line;
      if (!in.bigEndian32(r.offset) || !in.bigEndian32(line)) {
        out.error = at("line record cut short", start);
        break;
      }
      r.line = static_cast<std::int32_t>(line);
      out.entries.push_back(r);
    } else {
      out.error = at(("unknown line record tag " + std::to_string(tag)).c_str(), start);
      break;
    }
  }
  return out;
}

bool isAnonymousName(std::string_view name) { return name.substr(0, kAnonymousPrefix.size()) == kAnonymousPrefix; }

std::uint32_t anonymousNumber(std::string_view name) {
  std::uint32_t n = 0;
  for (char c : name.substr(kAnonymousPrefix.size())) {
    if (c < '0' || c > '9') break;
    n = n * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return n;
}

} // namespace plumex::script::compiler
