// Expressions, from the comma operator down to primaries.

#include "script/compiler/parser_internal.h"

namespace plumex::script::compiler {
namespace {

struct BinaryOperator {
  int precedence;  // 0: not a two-operand operator
  NodeKind kind;
};

BinaryOperator binaryOperator(int token) {
  switch (token) {
    case tok::OrOr: return {1, NodeKind::LogicalExpr};
    case tok::AndAnd: return {2, NodeKind::LogicalExpr};
    case '|': return {3, NodeKind::BitwiseExpr};
    case '^': return {4, NodeKind::BitwiseExpr};
    case '&': return {5, NodeKind::BitwiseExpr};
    case tok::Eq: case tok::Ne: case tok::StrictEq: case tok::StrictNe:
      return {6, NodeKind::EqualityExpr};
    case '<': case '>': case tok::Le: case tok::Ge:
      return {7, NodeKind::RelationalExpr};
    case tok::Shl: case tok::Shr: case tok::UShr:
      return {8, NodeKind::ShiftExpr};
    case '+': case '-': return {9, NodeKind::AddExpr};
    case '*': case '/': case '%': return {10, NodeKind::MulExpr};
    default: return {0, NodeKind::CommaExpr};
  }
}

bool isAssignmentOperator(int token) {
  switch (token) {
    case '=': case tok::MulAssign: case tok::DivAssign: case tok::ModAssign:
    case tok::AddAssign: case tok::SubAssign: case tok::AndAssign: case tok::XorAssign:
    case tok::OrAssign: case tok::ShlAssign: case tok::ShrAssign: case tok::UShrAssign:
      return true;
    default:
      return false;
  }
}

// Primaries, member, index, call and new forms, literals, regular
// expressions, array literals and undefined take an assignment operator.
bool takesAssignment(const Node* n) {
  const int k = static_cast<int>(n->kind);
  return (k >= 10 && k <= 21) || k == 28 || k == 29 || k == 50;
}

bool isPrefixOperator(int token) {
  switch (token) {
    case '!': case '+': case '-': case '~':
    case tok::Delete: case tok::Typeof: case tok::Void:
    case tok::PlusPlus: case tok::MinusMinus:
      return true;
    default:
      return false;
  }
}

} // namespace

Node* Parser::comma() {
  Node* left = assignment();
  if (!left) return nullptr;
  Nesting nesting(*this, 0);
  while (accept(',')) {
    Node* right = assignment();
    if (!right) syntaxError("invalid expression");
    auto* n = make<BinaryNode>(NodeKind::CommaExpr);
    n->op = ',';
    n->left = left;
    n->right = right;
    left = n;
    nesting.deepen();
  }
  return left;
}

Node* Parser::assignment() {
  Nesting nesting(*this);
  Node* left = conditional();
  if (!left) return nullptr;
  const int op = peek().kind;
  if (!isAssignmentOperator(op) || !takesAssignment(left)) return left;
  take();
  Node* right = assignment();
  if (!right) {
    if (op != '=' || !accept(tok::Function)) syntaxError("invalid expression");
    right = nameNode(functionDeclaration()->internalName);
  }
  auto* n = make<BinaryNode>(NodeKind::AssignExpr);
  n->op = op;
  n->left = left;
  n->right = right;
  return n;
}

Node* Parser::conditional() {
  Node* test = binary(1);
  if (!test || !accept('?')) return test;
  Node* then = assignment();
  if (!then) syntaxError("invalid expression");
  if (!accept(':')) syntaxError("missing : in conditional expression");
  Node* otherwise = assignment();
  if (!otherwise) syntaxError("invalid expression");
  auto* n = make<ConditionalNode>(NodeKind::CondExpr);
  n->test = test;
  n->consequent = then;
  n->alternate = otherwise;
  return n;
}

// Precedence climbing over the left-associative two-operand levels; the
// tree is the one a descent through each level would build.
Node* Parser::binary(int minPrecedence) {
  Node* left = unary();
  if (!left) return nullptr;
  Nesting nesting(*this, 0);
  for (;;) {
    const int op = peek().kind;
    const BinaryOperator b = binaryOperator(op);
    if (b.precedence == 0 || b.precedence < minPrecedence) return left;
    take();
    Node* right = binary(b.precedence + 1);
    if (!right) syntaxError("invalid expression");
    std::uint8_t staticKind = kStaticUnknown;
    if (b.kind == NodeKind::EqualityExpr || b.kind == NodeKind::RelationalExpr ||
        (b.kind == NodeKind::LogicalExpr && left->staticKind == kStaticBoolean &&
         right->staticKind == kStaticBoolean))
      staticKind = kStaticBoolean;
    auto* n = make<BinaryNode>(b.kind, staticKind);
    n->op = op;
    n->left = left;
    n->right = right;
    left = n;
    nesting.deepen();
  }
}

Node* Parser::unary() {
  const int op = peek().kind;
  if (!isPrefixOperator(op)) return postfix();
  Nesting nesting(*this);
  take();
  Node* operand = unary();
  if (!operand) syntaxError("invalid expression");
  auto* n = make<UnaryNode>(NodeKind::UnaryExpr);
  n->op = op;
  n->operand = operand;
  return n;
}

Node* Parser::postfix() {
  Node* operand = memberOrCall(true);
  if (!operand) return nullptr;
  const Token& t = peek();
  if (t.kind != tok::PlusPlus && t.kind != tok::MinusMinus) return operand;
  if (t.line != lastLine_) {
    // It starts the next statement.
    if (warnSemicolon_) diag_.warning(lastLine_, "missing ;");
    return operand;
  }
  const int op = take().kind;
  auto* n = make<UnaryNode>(NodeKind::PostfixExpr);
  n->op = op;
  n->operand = operand;
  return n;
}

Node* Parser::memberOrCall(bool allowCall) {
  Nesting nesting(*this, 0);
  Node* e;
  if (accept(tok::New)) {
    nesting.deepen();
    auto* n = make<CallNode>(NodeKind::NewExpr);
    if (accept(tok::Function)) {
      n->callee = nameNode(functionDeclaration()->internalName);
    } else {
      n->callee = memberOrCall(false);
      if (!n->callee) syntaxError("invalid expression");
      if (peekIs('(')) n->args = arguments(n->count);
    }
    n->line = lastLine_;
    e = n;
  } else {
    e = primary();
    if (!e) return nullptr;
  }
  for (;;) {
    if (accept('.')) {
      if (!peekIs(tok::Identifier)) syntaxError("illegal identifier");
      const Text name = take().text;
      auto* n = make<MemberNode>(NodeKind::MemberExpr);
      n->name = name;
      n->object = e;
      e = n;
    } else if (accept('[')) {
      Node* index = comma();
      if (!index) syntaxError("invalid expression");
      if (!accept(']')) syntaxError("missing ] in index expression");
      auto* n = make<BinaryNode>(NodeKind::IndexExpr);
      n->op = '[';
      n->left = e;
      n->right = index;
      e = n;
    } else if (allowCall && peekIs('(')) {
      auto* n = make<CallNode>(NodeKind::CallExpr);
      n->callee = e;
      n->args = arguments(n->count);
      n->line = lastLine_;
      e = n;
    } else {
      return e;
    }
    nesting.deepen();
  }
}

Node* Parser::arguments(int& count) {
  take();  // (
  count = 0;
  Node* list = nullptr;
  if (accept(')')) return nullptr;
  for (;;) {
    Node* a = assignment();
    if (!a) syntaxError("invalid expression");
    a->next = list;
    list = a;
    ++count;
    if (accept(',')) continue;
    if (accept(')')) return list;
    syntaxError("missing ) after argument list");
  }
}

Node* Parser::primary() {
  switch (peek().kind) {
    case '(': {
      take();
      Node* e = comma();
      if (!e || !accept(')')) syntaxError("invalid expression");
      return e;
    }
    case '/': {
      take();
      auto* n = make<RegExpNode>(NodeKind::RegExpExpr, kStaticRegExp);
      n->regexp = lexer_.readRegExp();
      return n;
    }
    case '[': return arrayLiteral();
    case '{': return objectLiteral();
    case tok::Integer: {
      const std::int64_t v = take().integer;
      auto* n = make<IntNode>(NodeKind::IntExpr, kStaticInteger);
      n->value = v;
      return n;
    }
    case tok::Number: {
      const double v = take().number;
      auto* n = make<FloatNode>(NodeKind::FloatExpr, kStaticFloat);
      n->value = v;
      return n;
    }
    case tok::String: {
      const Text text = take().text;
      auto* n = make<TextNode>(NodeKind::StringExpr, kStaticString);
      n->text = text;
      return n;
    }
    case tok::Identifier: return nameNode(take().text);
    case tok::This: take(); return make<Node>(NodeKind::ThisExpr);
    case tok::Null: take(); return make<Node>(NodeKind::NullExpr, kStaticNull);
    case tok::True: take(); return make<Node>(NodeKind::TrueExpr, kStaticBoolean);
    case tok::False: take(); return make<Node>(NodeKind::FalseExpr, kStaticBoolean);
    case tok::Undefined: take(); return make<Node>(NodeKind::UndefinedExpr);
    default: return nullptr;
  }
}

// A comma with no element before it adds a hole, and so does a comma
// directly before the closing bracket: [1,] has two elements, [,] two holes.
Node* Parser::arrayLiteral() {
  take();  // [
  Node* list = nullptr;
  int count = 0;
  auto add = [&](Node* n) {
    n->next = list;
    list = n;
    ++count;
  };
  auto comma = [&] {
    take();
    if (peekIs(']')) add(make<Node>(NodeKind::EmptyStmt));
  };
  for (;;) {
    if (peekIs(']')) break;
    if (peekIs(',')) {
      add(make<Node>(NodeKind::EmptyStmt));
      comma();
      continue;
    }
    Node* e = assignment();
    if (!e) break;
    add(e);
    if (!peekIs(',')) break;
    comma();
  }
  if (!accept(']')) syntaxError("missing ] after element list");
  auto* n = make<ListNode>(NodeKind::ArrayExpr, kStaticArray);
  n->count = count;
  n->items = list;
  return n;
}

Node* Parser::objectLiteral() {
  take();  // {
  Node* list = nullptr;
  int count = 0;
  while (!accept('}')) {
    auto* p = make<PropertyNode>(NodeKind::EmptyStmt);
    const Token& key = peek();
    p->keyKind = key.kind;
    if (key.kind == tok::Integer) {
      p->intKey = key.integer;
    } else if (key.kind == tok::String || key.kind == tok::Identifier) {
      p->textKey = key.text;
    } else {
      syntaxError("invalid property id");
    }
    take();
    if (!accept(':')) syntaxError("missing : after property id");
    p->value = assignment();
    if (!p->value) syntaxError("invalid expression");
    p->line = lastLine_;
    p->next = list;
    list = p;
    ++count;
    if (accept(',')) continue;
    if (accept('}')) break;
    syntaxError("missing } after property list");
  }
  auto* n = make<ListNode>(NodeKind::ObjectExpr, kStaticObject);
  n->count = count;
  n->items = list;
  return n;
}

} // namespace plumex::script::compiler
