// Program and statements.

#include "script/compiler/parser.h"

#include "script/compiler/parser_internal.h"

namespace plumex::script::compiler {
namespace {

// Appends to a list kept in source order.
struct ListBuilder {
  Node* head = nullptr;
  Node* tail = nullptr;
  void add(Node* n) {
    (tail ? tail->next : head) = n;
    tail = n;
  }
};

} // namespace

std::unique_ptr<SyntaxTree> parseProgram(ScriptStream& source, ScriptStream& messages,
                                         unsigned options) {
  auto tree = std::make_unique<SyntaxTree>();
  Parser parser(source, messages, options, *tree);
  try {
    parser.program();
  } catch (const CompileFailed&) {
    return nullptr;
  }
  return tree;
}

Token Parser::take() {
  peek();
  hasPeek_ = false;
  lastLine_ = peeked_.line;
  consumed_ = true;
  if (peeked_.kind == tok::Identifier && peeked_.text.view() == "arguments") ++argumentsCount_;
  return peeked_;
}

// Errors name the line of the last consumed token; before the first one
// there is none, so the line of the token the error was found at.
int Parser::errorLine() {
  if (consumed_) return lastLine_;
  return peek().line;
}

void Parser::syntaxError(const char* what) { diag_.error(errorLine(), "syntax error: %s", what); }

void Parser::tooDeep() {
  diag_.error(errorLine(), "statements or expressions nested more than %d levels deep", kMaxNesting);
}

void Parser::insertedSemicolon() {
  if (warnSemicolon_) diag_.warning(lastLine_, "missing ;");
  ++tree_.insertedSemicolons;
}

Node* Parser::nameNode(Text name) {
  auto* n = make<TextNode>(NodeKind::NameExpr);
  n->text = name;
  return n;
}

Node* Parser::stringNode(std::string_view text) {
  auto* n = make<TextNode>(NodeKind::StringExpr, kStaticString);
  n->text = tree_.arena.copy(text);
  return n;
}

void Parser::program() {
  ListBuilder main;
  while (!peekIs(tok::End)) {
    if (accept(tok::Function)) {
      functionDeclaration();
      continue;
    }
    Node* s = statement();
    if (!s) syntaxError("invalid statement");
    if (s->kind == NodeKind::VarStmt) s->as<VarNode>().topLevel = true;
    main.add(s);
  }
  tree_.main = main.head;
}

void Parser::endStatement() {
  const Token& t = peek();
  if (t.kind == ';') {
    take();
  } else if (t.kind == '}' || t.kind == tok::End || t.line > lastLine_) {
    insertedSemicolon();
  } else {
    diag_.error(lastLine_, "missing ;");
  }
}

Node* Parser::statement() {
  Nesting nesting(*this);
  switch (peek().kind) {
    case '{':
      return block();
    case tok::Function: {
      take();
      FunctionNode* f = functionDeclaration();
      if (functionNames_.empty()) return make<Node>(NodeKind::EmptyStmt);
      auto* n = make<NestedFunctionNode>(NodeKind::NestedFunctionStmt);
      n->enclosing = functionNames_.back();
      n->internalName = f->internalName;
      n->sourceName = f->sourceName;
      return n;
    }
    case tok::Var: {
      take();
      Node* v = declarators(false);
      endStatement();
      return v;
    }
    case tok::If: return ifStatement();
    case tok::Do: return doStatement();
    case tok::While: return whileStatement();
    case tok::For: return forStatement();
    case tok::Struct: return structDeclaration();
    case tok::DllImport: return dllImport();
    default: break;
  }
  if (Node* e = comma()) {
    if (e->kind == NodeKind::NameExpr && peekIs(':') && peek().line == e->line) {
      take();
      auto* n = make<LabelNode>(NodeKind::LabelledStmt);
      n->label = e->as<TextNode>().text;
      n->body = requireStatement("invalid label");
      n->line = lastLine_;
      return n;
    }
    auto* n = make<UnaryNode>(NodeKind::ExprStmt);
    n->operand = e;
    endStatement();
    return n;
  }
  switch (peek().kind) {
    case ';': take(); return make<Node>(NodeKind::EmptyStmt);
    case tok::Continue: return jumpStatement(NodeKind::ContinueStmt);
    case tok::Break: return jumpStatement(NodeKind::BreakStmt);
    case tok::Return: return returnStatement();
    case tok::Switch: return switchStatement();
    case tok::With: return withStatement();
    case tok::Try: return tryStatement();
    case tok::Throw: {
      take();
      auto* n = make<UnaryNode>(NodeKind::ThrowStmt);
      n->operand = comma();
      if (!n->operand) syntaxError("invalid throw");
      n->line = lastLine_;
      endStatement();
      return n;
    }
    default: return nullptr;
  }
}

Node* Parser::block() {
  take();  // {
  ListBuilder list;
  while (!peekIs('}')) {
    Node* s = statement();
    if (!s) syntaxError("missing } after block");
    list.add(s);
  }
  take();
  if (!list.head) return make<Node>(NodeKind::EmptyStmt);
  auto* n = make<ListNode>(NodeKind::BlockStmt);
  n->items = list.head;
  for (Node* s = list.head; s; s = s->next) ++n->count;
  return n;
}

VarNode* Parser::declarators(bool required) {
  auto* v = make<VarNode>(NodeKind::VarStmt);
  // A var statement without a name ends there: "var as = 1" then misses
  // its semicolon before "as".
  if (!required && !peekIs(tok::Identifier)) return v;
  ListBuilder list;
  do {
    if (!peekIs(tok::Identifier)) syntaxError(v->count == 0 ? "missing variable name" : "illegal identifier");
    auto* d = make<DeclaratorNode>(NodeKind::VarDeclarator);
    d->name = take().text;
    if (accept('=')) {
      d->init = assignment();
      if (!d->init) syntaxError("invalid variable initialization");
    }
    d->line = lastLine_;
    list.add(d);
    ++v->count;
  } while (accept(','));
  v->declarators = list.head;
  v->line = lastLine_;
  return v;
}

Node* Parser::parenthesised(const char* missingOpen, const char* invalid, const char* missingClose) {
  if (!accept('(')) syntaxError(missingOpen);
  Node* e = comma();
  if (!e) syntaxError(invalid);
  if (!accept(')')) syntaxError(missingClose);
  return e;
}

Node* Parser::ifStatement() {
  take();
  Node* test = parenthesised("missing ( before condition", "invalid condition expression",
                             "missing ) after condition");
  Node* then = requireStatement("invalid statement");
  Node* otherwise = accept(tok::Else) ? requireStatement("invalid statement") : nullptr;
  auto* n = make<ConditionalNode>(NodeKind::IfStmt);
  n->test = test;
  n->consequent = then;
  n->alternate = otherwise;
  return n;
}

Node* Parser::whileStatement() {
  take();
  Node* test = parenthesised("missing ( before condition", "invalid condition expression",
                             "missing ) after condition");
  Node* body = requireStatement("invalid statement");
  auto* n = make<LoopNode>(NodeKind::WhileStmt);
  n->test = test;
  n->body = body;
  return n;
}

Node* Parser::doStatement() {
  take();
  Node* body = requireStatement("invalid statement");
  if (!accept(tok::While)) syntaxError("missing while after do-loop body");
  Node* test = parenthesised("missing ( before condition", "invalid condition expression",
                             "missing ) after condition");
  auto* n = make<LoopNode>(NodeKind::DoWhileStmt);
  n->test = test;
  n->body = body;
  endStatement();
  return n;
}

Node* Parser::forStatement() {
  take();
  if (!accept('(')) syntaxError("missing ( after for");
  VarNode* var = nullptr;
  Node* init = nullptr;
  if (accept(tok::Var)) {
    var = declarators(true);
  } else if (!peekIs(';')) {
    init = comma();
    if (!init) syntaxError("invalid for-loop initializer or for-in expression");
  }
  if (accept(';')) {
    auto* n = make<ForNode>(NodeKind::ForStmt);
    if (var) {
      n->declarators = var->declarators;
      n->count = var->count;
    }
    n->init = init;
    if (!peekIs(';')) {
      n->test = comma();
      if (!n->test) syntaxError("invalid for-loop condition expression");
    }
    if (!accept(';')) syntaxError("missing ; after for-loop condition");
    if (!peekIs(')')) {
      n->update = comma();
      if (!n->update) syntaxError("invalid for-loop control expression");
    }
    if (!accept(')')) syntaxError("missing ) after for-loop control");
    n->body = requireStatement("invalid statement");
    n->line = lastLine_;
    return n;
  }
  if (!accept(tok::In)) syntaxError("missing ; after for-loop initializer");
  if (var && var->count != 1) syntaxError("more than one variable declaration");
  if (!var && init->kind != NodeKind::NameExpr) syntaxError("illegal identifier");
  auto* n = make<ForInNode>(NodeKind::ForInStmt);
  n->declarator = var ? var->declarators : nullptr;
  n->target = init;
  n->object = comma();
  if (!n->object) syntaxError("invalid expression");
  if (!accept(')')) syntaxError("missing ) after for-loop control");
  n->body = requireStatement("invalid statement");
  n->line = lastLine_;
  return n;
}

Node* Parser::jumpStatement(NodeKind kind) {
  take();
  auto* n = make<TextNode>(kind);
  if (peekIs(tok::Identifier) && peek().line == lastLine_) n->text = take().text;
  n->line = lastLine_;
  endStatement();
  return n;
}

Node* Parser::returnStatement() {
  take();
  auto* n = make<UnaryNode>(NodeKind::ReturnStmt);
  if (accept(';')) return n;
  if (peek().line == lastLine_) {
    n->operand = comma();
    if (!n->operand) syntaxError("invalid return");
    n->line = lastLine_;
  }
  endStatement();
  return n;
}

Node* Parser::switchStatement() {
  take();
  Node* discriminant = parenthesised("missing ( before switch expression", "invalid switch expression",
                                     "missing ) after switch expression");
  if (!accept('{')) syntaxError("missing { before switch body");
  ListBuilder clauses;
  int defaults = 0;
  while (!accept('}')) {
    auto* c = make<CaseNode>(NodeKind::EmptyStmt);
    if (accept(tok::Case)) {
      c->test = comma();
      if (!c->test) syntaxError("invalid case expression");
    } else if (accept(tok::Default)) {
      ++defaults;
    } else {
      syntaxError("missing } after switch block");
    }
    if (!accept(':')) syntaxError("missing : after case label");
    ListBuilder body;
    while (!peekIs(tok::Case) && !peekIs(tok::Default) && !peekIs('}')) {
      Node* s = statement();
      if (!s) syntaxError("invalid statement");
      body.add(s);
    }
    c->body = body.head;
    c->line = c->endLine = lastLine_;
    clauses.add(c);
  }
  if (defaults > 1) diag_.error(lastLine_, "more than one switch default");
  auto* n = make<SwitchNode>(NodeKind::SwitchStmt);
  n->closeLine = lastLine_;
  n->discriminant = discriminant;
  n->clauses = clauses.head;
  return n;
}

Node* Parser::withStatement() {
  take();
  Node* object = parenthesised("missing ( before with-statement object", "invalid with-statement object",
                               "missing ) after with-statement object");
  auto* n = make<LoopNode>(NodeKind::WithStmt);
  n->test = object;
  n->body = requireStatement("invalid with block");
  n->line = lastLine_;
  return n;
}

Node* Parser::tryStatement() {
  take();
  auto* n = make<TryNode>(NodeKind::TryStmt);
  n->body = requireStatement("invalid statement");
  n->afterBodyLine = peek().line;
  ListBuilder catches;
  while (accept(tok::Catch)) {
    auto* c = make<CatchNode>(NodeKind::EmptyStmt);
    if (!accept('(')) syntaxError("missing ( before catch");
    if (!peekIs(tok::Identifier)) syntaxError("missing identifier in catch");
    c->name = take().text;
    if (accept(tok::If)) {
      c->condition = comma();
      if (!c->condition) syntaxError("invalid statement");
    }
    if (!accept(')')) syntaxError("missing ) after catch");
    c->body = requireStatement("invalid statement");
    c->line = lastLine_;
    catches.add(c);
  }
  n->catches = catches.head;
  if (accept(tok::Finally)) n->finally = requireStatement("invalid statement");
  if (!n->catches && !n->finally) syntaxError("missing catch or finally after try");
  n->line = n->endLine = lastLine_;
  return n;
}

} // namespace plumex::script::compiler
