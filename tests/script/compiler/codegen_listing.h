#pragma once
// Compiles a source text to its instruction list for tests, and writes the
// list as text: one function per line, "NAME: OP OPERAND; OP; ...", jump
// labels as "L<n>:".

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "script/compiler/code_generator.h"
#include "script/compiler/optimizer.h"
#include "script/compiler/parser.h"

namespace plumex::script::compiler::testing {

struct Generated {
  bool ok = false;
  std::unique_ptr<SyntaxTree> tree;  // the instructions' texts live here
  InstructionList code;
  std::string messages;  // "\r\n" turned into "\n"
};

inline Generated generate(std::string_view source, bool optimized = true) {
  Generated out;
  auto in = ScriptStream::openText(source);
  auto messages = ScriptStream::openMemory();
  out.tree = parseProgram(*in, *messages, 0);
  if (out.tree) {
    try {
      Diagnostics diag(*messages);
      out.code = generateCode(*out.tree, diag);
      if (optimized) optimize(out.code);
      out.ok = true;
    } catch (const CompileFailed&) {
    }
  }
  for (char c : messages->memory())
    if (c != '\r') out.messages += c;
  return out;
}

inline std::string formatInstruction(const Instruction& i) {
  if (i.op == kFunctionLabel) return std::string(i.text) + ":";
  if (i.op == kJumpLabel) return "L" + std::to_string(i.integer) + ":";
  std::string s = mnemonic(i.opcode());
  switch (i.kind) {
  case OperandKind::None: break;
  case OperandKind::Integer: s += " " + std::to_string(i.integer); break;
  case OperandKind::Text:
    s += i.opcode() == Op::PUSHCONST ? " \"" + std::string(i.text) + "\"" : " " + std::string(i.text);
    break;
  case OperandKind::Float: {
    char buf[40];
    std::snprintf(buf, sizeof buf, " %g", i.number);
    s += buf;
    break;
  }
  case OperandKind::RegExp: s += " /" + std::string(i.text) + "/" + std::to_string(i.regexpFlags); break;
  case OperandKind::Label: s += " L" + std::to_string(i.integer); break;
  }
  return s;
}

// The whole list: functions separated by newlines, instructions by "; ".
inline std::string listing(const InstructionList& code) {
  std::string out;
  for (const Instruction& i : code) {
    if (i.op == kFunctionLabel) {
      if (!out.empty()) out += "\n";
      out += formatInstruction(i) + " ";
      continue;
    }
    if (!out.empty() && out.back() != ' ') out += out.back() == ':' ? " " : "; ";
    out += formatInstruction(i);
  }
  return out;
}

// The listing of one function ("NAME: ..." without the name).
inline std::string function(const InstructionList& code, std::string_view name) {
  const std::string all = listing(code);
  const std::string head = std::string(name) + ": ";
  std::size_t at = all.rfind("\n" + head);
  if (at == std::string::npos) {
    if (all.compare(0, head.size(), head) != 0) return "<no function " + std::string(name) + ">";
    at = 0;
  } else {
    ++at;
  }
  const std::size_t end = all.find('\n', at);
  return all.substr(at + head.size(), end == std::string::npos ? std::string::npos : end - at - head.size());
}

} // namespace plumex::script::compiler::testing
