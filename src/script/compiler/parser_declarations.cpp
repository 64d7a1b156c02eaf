// Function declarations, and the struct and dllimport declaration
// statements.

#include <cstdio>
#include <string>

#include "script/compiler/parser_internal.h"

namespace plumex::script::compiler {
namespace {

bool isScalarType(std::string_view w) {
  return w == "char" || w == "short" || w == "long" || w == "int" || w == "int64";
}
bool isPlainType(std::string_view w) {
  return w == "float" || w == "double" || w == "pointer" || w == "String" || w == "Boolean";
}

void appendCount(std::string& out, std::int64_t count) {
  if (count == 0) return;
  out += " count=\"";
  out += std::to_string(count);
  out += '"';
}

} // namespace

Text Parser::anonymousName() {
  char name[32];
  std::snprintf(name, sizeof name, "@F_%d", anonymousCount_++);
  return tree_.arena.copy(name);
}

FunctionNode* Parser::functionDeclaration() {
  Text source, internal;
  if (peekIs(tok::Identifier)) {
    source = take().text;
    internal = functionNames_.empty() ? source : anonymousName();
  } else {
    source = internal = anonymousName();
  }
  const int argumentsBefore = argumentsCount_;
  functionNames_.push_back(internal);

  if (!accept('(')) syntaxError("missing ( before formal parameters");
  Node* params = nullptr;
  Node* last = nullptr;
  if (!accept(')')) {
    for (;;) {
      if (!peekIs(tok::Identifier)) syntaxError("illegal identifier");
      Node* p = nameNode(take().text);
      (last ? last->next : params) = p;
      last = p;
      if (accept(',')) continue;
      if (accept(')')) break;
      syntaxError("missing ) after formal parameters");
    }
  }
  if (!peekIs('{')) syntaxError("invalid function body");
  const int braceLine = peek().line;
  Node* body = block();

  auto* f = make<FunctionNode>(NodeKind::FunctionDecl);
  f->braceLine = braceLine;
  f->usesArguments = argumentsCount_ > argumentsBefore;
  f->internalName = internal;
  f->sourceName = source;
  f->params = params;
  f->body = body;
  if (lastFunction_) {
    lastFunction_->next = f;
  } else {
    tree_.functions = f;
  }
  lastFunction_ = f;
  functionNames_.pop_back();
  return f;
}

// [unsigned] type [*], as text: "unsigned long*". A type is one of the
// built-in words or a structure declared earlier in this compilation.
bool Parser::typeName(std::string& out) {
  const bool isUnsigned = peekIsWord("unsigned");
  if (isUnsigned) take();
  if (!peekIs(tok::Identifier)) return false;
  const std::string_view word = peek().text.view();
  const bool ok = isScalarType(word) ||
                  (!isUnsigned && (isPlainType(word) || structNames_.count(std::string(word))));
  if (!ok) return false;
  take();
  out.clear();
  if (isUnsigned) out = "unsigned ";
  out += word;
  if (accept('*')) out += '*';
  return true;
}

Node* Parser::structDeclaration() {
  take();
  if (!accept('{')) syntaxError("missing { after structure");
  std::string members;
  structMembers(members);
  if (!peekIs(tok::Identifier)) syntaxError("structure must have a name");
  const Text name = take().text;
  if (!structNames_.emplace(name.view()).second) syntaxError("structure redefined");
  accept(';');

  std::string text = "<";
  text += name.view();
  text += " type=\"struct\">";
  text += members;
  text += "</";
  text += name.view();
  text += '>';
  auto* assign = make<BinaryNode>(NodeKind::AssignExpr);
  assign->op = '=';
  assign->left = nameNode(name);
  assign->right = stringNode(text);
  auto* n = make<UnaryNode>(NodeKind::ExprStmt);
  n->operand = assign;
  return n;
}

// Members up to and including the closing brace.
void Parser::structMembers(std::string& out) {
  Nesting nesting(*this);
  std::unordered_set<std::string> names;
  while (!accept('}')) structMember(out, names);
}

void Parser::structMember(std::string& out, std::unordered_set<std::string>& names) {
  const char* invalid = "invalid structure member";
  std::string type;
  std::string nested;
  const bool isStruct = accept(tok::Struct);
  if (isStruct) {
    if (!accept('{')) syntaxError(invalid);
    structMembers(nested);
    type = "struct";
    if (accept('*')) type += '*';
  } else if (!typeName(type)) {
    syntaxError(invalid);
  }
  if (!peekIs(tok::Identifier)) syntaxError(invalid);
  const Text name = take().text;
  if (!names.emplace(name.view()).second) syntaxError("structure member redefined");
  std::int64_t count = 0;
  if (accept('[')) {
    if (!peekIs(tok::Integer)) syntaxError(invalid);
    count = take().integer;
    if (count <= 0 || !accept(']')) syntaxError(invalid);
  }
  accept(';');

  out += '<';
  out += name.view();
  out += " type=\"";
  out += type;
  out += '"';
  appendCount(out, count);
  out += '>';
  out += nested;
  out += "</";
  out += name.view();
  out += '>';
}

Node* Parser::dllImport() {
  take();
  auto* n = make<DllImportNode>(NodeKind::DllImportStmt);
  if (peekIs(tok::Identifier)) {
    n->library = nameNode(take().text);
  } else if (peekIs(tok::String)) {
    n->library = stringNode(take().text.view());
  } else {
    syntaxError("invalid dll name");
  }

  const std::string_view call = peekIs(tok::Identifier) ? peek().text.view() : std::string_view();
  if (call != "stdcall" && call != "cdecl" && call != "pascal" && call != "fastcall")
    syntaxError("invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall");
  n->callType = take().text;

  std::string type;
  if (accept(tok::Void)) {
    type = "void";
  } else if (!typeName(type)) {
    syntaxError("invalid return type");
  }
  n->returnType = stringNode(type);

  if (!peekIs(tok::Identifier)) syntaxError("invalid function name");
  n->function = take().text;
  if (!accept('(')) syntaxError("missing ( after function name");
  if (!accept(')')) {
    for (;;) {
      if (!typeName(type)) syntaxError("invalid argument type");
      Node* p = stringNode(type);
      p->next = n->paramTypes;
      n->paramTypes = p;
      ++n->paramCount;
      if (peekIs(tok::Identifier)) take();  // the parameter's name says nothing to the call
      if (accept(',')) continue;
      if (accept(')')) break;
      syntaxError("missing , after argument");
    }
  }
  if (accept(tok::As)) {
    if (!peekIs(tok::Identifier)) syntaxError("invalid alias name of the imported function");
    n->alias = take().text;
  }
  accept(';');
  n->line = lastLine_;
  return n;
}

} // namespace plumex::script::compiler
