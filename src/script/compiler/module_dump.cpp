#include "script/compiler/module_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "script/compiler/dump.h"
#include "script/compiler/lexer.h"
#include "script/compiler/module_sections.h"
#include "script/compiler/stack_check.h"

namespace plumex::script::compiler {

namespace {

std::string hex(std::uint64_t v, int digits = 4) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buffer;
}

// 8-bit text with the escapes quoteText uses, without its quotes.
std::string escaped(std::string_view text) {
  const std::string quoted = quoteText(text);
  return quoted.substr(1, quoted.size() - 2);
}

// Code units above 0xFF as \uHHHH, the rest as 8-bit text.
std::string escapedUtf16(std::u16string_view text) {
  std::string out;
  std::string run;
  auto flush = [&] {
    out += escaped(run);
    run.clear();
  };
  for (char16_t c : text) {
    if (c <= 0xFF) {
      run += static_cast<char>(c);
      continue;
    }
    flush();
    out += "\\u" + hex(c);
  }
  flush();
  return out;
}

// The shortest text that reads back as the same double.
std::string numberText(double d) {
  char buffer[40];
  for (int precision = 15;; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, d);
    if (precision == 17 || std::strtod(buffer, nullptr) == d) return buffer;
  }
}

const char* typeName(std::uint8_t type) {
  switch (static_cast<ConstantType>(type)) {
  case ConstantType::Null: return "null";
  case ConstantType::Boolean: return "boolean";
  case ConstantType::Integer: return "integer";
  case ConstantType::String: return "string";
  case ConstantType::Float: return "float";
  case ConstantType::Name: return "name";
  case ConstantType::RegExp: return "regexp";
  case ConstantType::NaN: return "nan";
  }
  return "?";
}

std::string constantText(const ModuleConstant& c) {
  switch (static_cast<ConstantType>(c.type)) {
  case ConstantType::Null: return "null";
  case ConstantType::NaN: return "NaN";
  case ConstantType::Boolean: return c.integer ? "true" : "false";
  case ConstantType::Integer: return std::to_string(c.integer);
  case ConstantType::Float: return numberText(c.number);
  case ConstantType::String: return "\"" + escapedUtf16(c.text) + "\"";
  case ConstantType::Name: return quoteText(c.name);
  case ConstantType::RegExp: {
    std::string out = "/" + escapedUtf16(c.text) + "/";
    if (c.flags & kRegExpGlobal) out += 'g';
    if (c.flags & kRegExpIgnoreCase) out += 'i';
    if (c.flags & kRegExpMultiline) out += 'm';
    return out;
  }
  }
  return "?";
}

const char* sectionName(std::uint8_t type) {
  static const char* const names[kSectionTypes] = {"code", "constants", "functions", "lines"};
  return type < kSectionTypes ? names[type] : "unknown";
}

class Lister {
public:
  explicit Lister(const ModuleImage& image)
      : image_(image), constants_(readConstants(image)), functions_(readFunctions(image)),
        lines_(readLines(image)) {}

  ModuleListing run() {
    header();
    constants();
    functions();
    lines();
    code();
    return {std::move(out_), ok_};
  }

private:
  void line(const std::string& text) { out_ += text + "\n"; }
  void error(const std::string& text) {
    line("  error: " + text);
    ok_ = false;
  }

  void header() {
    line("module QS1b, " + std::to_string(image_.sections().size()) + " sections");
    for (const ModuleSection& s : image_.sections()) {
      char text[96];
      std::snprintf(text, sizeof text, "  type %-3u %-10s offset 0x%04X  size %-6u (type word 0x%08X)", s.type(),
                    sectionName(s.type()), s.offset, s.size, s.typeWord);
      line(text);
    }
  }

  void constants() {
    line("constants: " + std::to_string(constants_.entries.size()));
    for (std::size_t i = 0; i < constants_.entries.size(); ++i) {
      const ModuleConstant& c = constants_.entries[i];
      char head[48];
      std::snprintf(head, sizeof head, "  %4zu  %-8s ", i, typeName(c.type));
      line(head + constantText(c));
    }
    if (!constants_.error.empty()) error(constants_.error);
  }

  void functions() {
    line("functions: " + std::to_string(functions_.entries.size()));
    for (const ModuleFunction& f : functions_.entries)
      line("  " + quoteText(f.name) + "  code 0x" + hex(f.offset) + " to 0x" + hex(f.end));
    if (!functions_.error.empty()) error(functions_.error);
  }

  void lines() {
    if (!lines_.hasSource && lines_.entries.empty() && lines_.error.empty()) {
      line("lines: none");
    } else {
      line("lines: source " + (lines_.hasSource ? quoteText(lines_.source) : std::string("unknown")) + ", " +
           std::to_string(lines_.entries.size()) + " records");
      for (const LineRecord& r : lines_.entries) lineAt_[r.offset] = r.line;
    }
    if (!lines_.error.empty()) error(lines_.error);
  }

  std::string operandText(const DecodedInstruction& d, std::size_t end) const {
    const auto& entries = constants_.entries;
    switch (d.operandClass) {
    case OperandClass::None: return "";
    case OperandClass::Name:
      if (d.operand < static_cast<std::int64_t>(entries.size()) &&
          entries[static_cast<std::size_t>(d.operand)].type == static_cast<std::uint8_t>(ConstantType::Name))
        return escaped(entries[static_cast<std::size_t>(d.operand)].name);
      return "#" + std::to_string(d.operand) + " (not a name constant)";
    case OperandClass::Const:
      if (d.operand < static_cast<std::int64_t>(entries.size()))
        return "#" + std::to_string(d.operand) + " " + constantText(entries[static_cast<std::size_t>(d.operand)]);
      return "#" + std::to_string(d.operand) + " (no such constant)";
    case OperandClass::Jump: {
      const std::int64_t target = static_cast<std::int64_t>(end) + d.operand;
      return target < 0 ? std::to_string(target) : "0x" + hex(static_cast<std::uint64_t>(target));
    }
    default: return std::to_string(d.operand);
    }
  }

  void code() {
    const auto bytes = image_.section(SectionType::Code);
    line("code: " + std::to_string(bytes.size()) + " bytes");
    if (!functions_.entries.empty() && functions_.entries.front().offset > 0)
      line("  (0x0000 to 0x" + hex(functions_.entries.front().offset) + " belongs to no function)");
    for (const ModuleFunction& f : functions_.entries) {
      const auto body = bytes.subspan(f.offset, f.end - f.offset);
      const StackCheck check = checkStack(body, f.isMain());
      if (check.ok()) {
        line(quoteText(f.name) + ": max stack " + std::to_string(check.maxStack));
      } else {
        line(quoteText(f.name) + ":");
        error("offset 0x" + hex(f.offset + check.errorOffset) + ": " + check.error);
      }
      disassemble(body, f.offset);
    }
  }

  void disassemble(std::span<const std::uint8_t> body, std::size_t base) {
    for (std::size_t at = 0; at < body.size();) {
      const auto d = decodeInstruction(body, at);
      std::string text = "  " + hex(base + at) + "  ";
      if (!d) {
        text += "byte 0x" + hex(body[at], 2);
        ++at;
      } else {
        char op[16];
        std::snprintf(op, sizeof op, "%-11s", mnemonic(d->op));
        at += d->size;
        text += op + operandText(*d, base + at);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (const auto l = lineAt_.find(base + at); l != lineAt_.end()) {
          text.resize(std::max<std::size_t>(text.size() + 2, 40), ' ');
          text += "; line " + std::to_string(l->second);
        }
      }
      line(text);
    }
  }

  const ModuleImage& image_;
  ModuleConstants constants_;
  ModuleFunctions functions_;
  ModuleLines lines_;
  std::map<std::size_t, std::int32_t> lineAt_;
  std::string out_;
  bool ok_ = true;
};

} // namespace

ModuleListing dumpModule(const ModuleImage& image) { return Lister(image).run(); }

} // namespace plumex::script::compiler
