#include "script/compiler/module_writer.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <unordered_map>

#include "platform/ansi_text.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_format.h"
#include "script/values/atoms.h"

namespace plumex::script::compiler {

namespace {

using Bytes = std::vector<std::uint8_t>;

void putBigEndian32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putLittleEndian32(Bytes& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t checkedSize(std::size_t n, const char* what) {
  if (n > std::numeric_limits<std::uint32_t>::max())
    throw ModuleWriteError(std::string(what) + " does not fit a module");
  return static_cast<std::uint32_t>(n);
}

// Text for the module: 8-bit script text through the ANSI code page to
// UTF-16 little-endian, after a big-endian byte count.
void putUtf16(Bytes& out, std::string_view ansi) {
  const std::u16string wide = ansiToUtf16(ansi);
  putBigEndian32(out, checkedSize(wide.size() * 2, "a text constant"));
  for (char16_t c : wide) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

// Constants de-duplicated by (type, key) in 257 chains, numbered in order
// of first use in one index space for all types.
class ConstantTable {
public:
  std::uint32_t integer(std::int64_t v) {
    return add(ConstantType::Integer, std::to_string(v), [&](Bytes& out) {
      putBigEndian32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
      putBigEndian32(out, static_cast<std::uint32_t>(v));
    });
  }

  std::uint32_t number(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    // The text alone would join doubles that differ beyond its 30
    // decimals (1e-40 and 2e-40); the bit pattern keeps them apart.
    // The longest "%.30f" text of a double: 309 digits, the point, 30
    // decimals and a sign.
    char text[400];
    const int n = std::snprintf(text, sizeof text, "%.30f", v);
    std::string key(text, static_cast<std::size_t>(n > 0 ? n : 0));
    for (int i = 0; i < 8; ++i) key += static_cast<char>(bits >> (8 * i));
    return add(ConstantType::Float, std::move(key), [&](Bytes& out) {
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    });
  }

  std::uint32_t string(std::string_view text) {
    return add(ConstantType::String, std::string(text), [&](Bytes& out) { putUtf16(out, text); });
  }

  std::uint32_t name(std::string_view text) {
    return add(ConstantType::Name, std::string(text), [&](Bytes& out) {
      out.insert(out.end(), text.begin(), text.end());
      out.push_back(0);
    });
  }

  std::uint32_t regexp(std::string_view pattern, int flags) {
    // A NUL (which no pattern holds) separates the flag letters, so that
    // /ab/g and /abg/ stay two constants.
    std::string key(pattern);
    key += '\0';
    if (flags & kRegExpGlobal) key += 'g';
    if (flags & kRegExpIgnoreCase) key += 'i';
    if (flags & kRegExpMultiline) key += 'm';
    return add(ConstantType::RegExp, std::move(key), [&](Bytes& out) {
      out.push_back(static_cast<std::uint8_t>(flags & (kRegExpGlobal | kRegExpIgnoreCase | kRegExpMultiline)));
      putUtf16(out, pattern);
    });
  }

  const Bytes& bytes() const { return bytes_; }

private:
  static constexpr std::size_t kChains = 257;
  struct Entry {
    ConstantType type;
    std::string key;
    std::uint32_t index;
  };

  template <class Write>
  std::uint32_t add(ConstantType type, std::string key, Write write) {
    auto& chain = chains_[hashName(key) % kChains];
    for (const Entry& e : chain)
      if (e.type == type && e.key == key) return e.index;
    const std::uint32_t index = count_++;
    chain.push_back({type, std::move(key), index});
    bytes_.push_back(static_cast<std::uint8_t>(type));
    write(bytes_);
    return index;
  }

  std::array<std::vector<Entry>, kChains> chains_;
  std::uint32_t count_ = 0;
  Bytes bytes_;
};

struct Label {
  std::uint32_t offset;
  std::size_t function;
};

std::string describe(const Instruction& in) {
  return std::string(mnemonic(in.opcode())) + " (line " + std::to_string(in.line) + ")";
}

std::int64_t checkedOperand(const Instruction& in, std::int64_t low, std::int64_t high) {
  if (in.kind != OperandKind::Integer) throw ModuleWriteError(describe(in) + " needs an integer operand");
  if (in.integer < low || in.integer > high)
    throw ModuleWriteError(describe(in) + ": operand " + std::to_string(in.integer) + " does not fit");
  return in.integer;
}

class Assembler {
public:
  Assembler(const InstructionList& list, const ModuleWriteOptions& options)
      : list_(list), options_(options) {}

  Bytes run() {
    placeLabels();
    encode();
    return assemble();
  }

private:
  void placeLabels() {
    std::uint32_t offset = 0;
    std::size_t functions = 0;
    for (const Instruction& in : list_) {
      if (in.op == kFunctionLabel) {
        ++functions;
      } else if (in.op == kJumpLabel) {
        if (!labels_.emplace(in.integer, Label{offset, functions}).second)
          throw ModuleWriteError("jump label " + std::to_string(in.integer) + " is defined twice");
      } else if (!isOpcode(in.op) || in.isLabel()) {
        throw ModuleWriteError("instruction number " + std::to_string(in.op) + " is not in the instruction set");
      } else if (functions == 0) {
        throw ModuleWriteError(describe(in) + " comes before the first function label");
      } else {
        offset = checkedSize(std::size_t{offset} + static_cast<std::size_t>(in.size()), "the code");
      }
    }
  }

  void encode() {
    std::size_t function = 0;
    bool anyLine = false;
    int lastLine = 0;
    for (const Instruction& in : list_) {
      if (in.op == kFunctionLabel) {
        ++function;
        functions_.push_back({in.text, static_cast<std::uint32_t>(code_.size())});
        continue;
      }
      if (in.op == kJumpLabel) continue;
      const std::uint32_t offset = static_cast<std::uint32_t>(code_.size());
      code_.push_back(static_cast<std::uint8_t>(in.op));
      encodeOperand(in, offset, function);
      if (options_.lineTable && (!anyLine || in.line != lastLine)) {
        lines_.push_back(kLineTagLine);
        putBigEndian32(lines_, static_cast<std::uint32_t>(code_.size()));
        putBigEndian32(lines_, static_cast<std::uint32_t>(in.line));
        anyLine = true;
        lastLine = in.line;
      }
    }
  }

  void encodeOperand(const Instruction& in, std::uint32_t offset, std::size_t function) {
    const OpInfo& info = opInfo(in.opcode());
    switch (info.operand) {
    case OperandClass::None: return;
    case OperandClass::Byte: code_.push_back(static_cast<std::uint8_t>(checkedOperand(in, -128, 127))); return;
    case OperandClass::Short: {
      const auto v = static_cast<std::uint16_t>(checkedOperand(in, -32768, 32767));
      code_.push_back(static_cast<std::uint8_t>(v >> 8));
      code_.push_back(static_cast<std::uint8_t>(v));
      return;
    }
    case OperandClass::Int:
      putBigEndian32(code_, static_cast<std::uint32_t>(checkedOperand(
                                in, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
      return;
    case OperandClass::Name:
      if (in.kind != OperandKind::Text) throw ModuleWriteError(describe(in) + " needs a name");
      putBigEndian32(code_, constants_.name(in.text));
      return;
    case OperandClass::Const: putBigEndian32(code_, constantOf(in)); return;
    case OperandClass::Jump: {
      if (in.kind != OperandKind::Label) throw ModuleWriteError(describe(in) + " needs a label");
      const auto it = labels_.find(in.integer);
      if (it == labels_.end())
        throw ModuleWriteError(describe(in) + " jumps to label " + std::to_string(in.integer) +
                               ", which is not in the list");
      if (it->second.function != function)
        throw ModuleWriteError(describe(in) + " jumps to label " + std::to_string(in.integer) +
                               " of another function");
      const std::int64_t distance =
          std::int64_t{it->second.offset} - (std::int64_t{offset} + in.size());
      putBigEndian32(code_, static_cast<std::uint32_t>(static_cast<std::int32_t>(distance)));
      return;
    }
    }
  }

  std::uint32_t constantOf(const Instruction& in) {
    switch (in.kind) {
    case OperandKind::Integer: return constants_.integer(in.integer);
    case OperandKind::Float: return constants_.number(in.number);
    case OperandKind::Text: return constants_.string(in.text);
    case OperandKind::RegExp: return constants_.regexp(in.text, in.regexpFlags);
    default: throw ModuleWriteError(describe(in) + " needs a constant");
    }
  }

  Bytes assemble() {
    Bytes table;
    putBigEndian32(table, checkedSize(functions_.size(), "the function count"));
    for (const auto& [name, offset] : functions_) {
      table.insert(table.end(), name.begin(), name.end());
      table.push_back(0);
      putBigEndian32(table, offset);
    }
    Bytes lineTable;
    if (options_.lineTable) {
      lineTable.push_back(kLineTagSource);
      putBigEndian32(lineTable, checkedSize(options_.sourceName.size(), "the source name"));
      lineTable.insert(lineTable.end(), options_.sourceName.begin(), options_.sourceName.end());
      lineTable.insert(lineTable.end(), lines_.begin(), lines_.end());
    }

    std::function<std::uint32_t()> random = options_.random;
    if (!random) {
      std::mt19937 generator{std::random_device{}()};
      random = [generator]() mutable { return static_cast<std::uint32_t>(generator()); };
    }
    const Bytes* sections[kSectionTypes] = {&code_, &constants_.bytes(), &table, &lineTable};
    Bytes out(kModuleMagic.begin(), kModuleMagic.end());
    std::size_t offset = kModuleHeaderSize;
    for (int type = 0; type < kSectionTypes; ++type) {
      putLittleEndian32(out, (random() & 0x7FFF) << 8 | static_cast<std::uint32_t>(type));
      putLittleEndian32(out, checkedSize(offset, "the module"));
      putLittleEndian32(out, checkedSize(sections[type]->size(), "a section"));
      offset += sections[type]->size();
    }
    checkedSize(offset, "the module");
    putLittleEndian32(out, kDirectoryEnd);
    for (const Bytes* s : sections) out.insert(out.end(), s->begin(), s->end());
    return out;
  }

  const InstructionList& list_;
  const ModuleWriteOptions& options_;
  std::unordered_map<std::int64_t, Label> labels_;
  ConstantTable constants_;
  Bytes code_;
  Bytes lines_;
  std::vector<std::pair<std::string_view, std::uint32_t>> functions_;
};

} // namespace

std::vector<std::uint8_t> writeModule(const InstructionList& list, const ModuleWriteOptions& options) {
  return Assembler(list, options).run();
}

} // namespace plumex::script::compiler
