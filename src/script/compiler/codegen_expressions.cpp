// Code for expressions: each leaves exactly one value on the stack.

#include "script/compiler/codegen_internal.h"

namespace plumex::script::compiler {

namespace {

Op binaryOp(int token) {
  switch (token) {
  case '*': return Op::MUL;
  case '/': return Op::DIV;
  case '%': return Op::MOD;
  case '+': return Op::ADD;
  case '-': return Op::SUB;
  case tok::Shl: return Op::SHL;
  case tok::Shr: return Op::SHR;
  case tok::UShr: return Op::USHR;
  case '&': return Op::AND;
  case '^': return Op::XOR;
  case '|': return Op::OR;
  case tok::Eq: return Op::EQ;
  case tok::Ne: return Op::NE;
  case tok::StrictEq: return Op::STRICTEQ;
  case tok::StrictNe: return Op::STRICTNE;
  case '<': return Op::LT;
  case '>': return Op::GT;
  case tok::Le: return Op::LE;
  case tok::Ge: return Op::GE;
  case tok::MulAssign: return Op::MUL;
  case tok::DivAssign: return Op::DIV;
  case tok::ModAssign: return Op::MOD;
  case tok::AddAssign: return Op::ADD;
  case tok::SubAssign: return Op::SUB;
  case tok::AndAssign: return Op::AND;
  case tok::XorAssign: return Op::XOR;
  case tok::OrAssign: return Op::OR;
  case tok::ShlAssign: return Op::SHL;
  case tok::ShrAssign: return Op::SHR;
  case tok::UShrAssign: return Op::USHR;
  default: return Op::NOP;
  }
}

bool isStorable(const Node* n) {
  return n->kind == NodeKind::NameExpr || n->kind == NodeKind::MemberExpr || n->kind == NodeKind::IndexExpr;
}

} // namespace

void CodeGenerator::expression(const Node* n) {
  const int saved = line_;
  line_ = n->line;
  switch (n->kind) {
  case NodeKind::IntExpr: pushInteger(n->as<IntNode>().value); break;
  case NodeKind::FloatExpr: {
    Instruction& i = emit(Op::PUSHCONST);
    i.kind = OperandKind::Float;
    i.number = n->as<FloatNode>().value;
    break;
  }
  case NodeKind::StringExpr: {
    Instruction& i = emit(Op::PUSHCONST);
    i.kind = OperandKind::Text;
    i.text = n->as<TextNode>().text.view();
    break;
  }
  case NodeKind::RegExpExpr: {
    Instruction& i = emit(Op::PUSHCONST);
    i.kind = OperandKind::RegExp;
    i.text = n->as<RegExpNode>().regexp.pattern.view();
    i.regexpFlags = n->as<RegExpNode>().regexp.flags;
    break;
  }
  case NodeKind::ThisExpr: emitInt(Op::LDSLOT, 0); break;
  case NodeKind::NullExpr: emit(Op::PUSHNULL); break;
  case NodeKind::TrueExpr: emit(Op::PUSHTRUE); break;
  case NodeKind::FalseExpr: emit(Op::PUSHFALSE); break;
  case NodeKind::UndefinedExpr: emit(Op::PUSHUNDEF); break;
  case NodeKind::NameExpr: loadName(n->as<TextNode>().text.view()); break;
  case NodeKind::MemberExpr: {
    const auto& m = n->as<MemberNode>();
    expression(m.object);
    emitName(Op::GETPROP, m.name.view());
    break;
  }
  case NodeKind::IndexExpr: {
    const auto& b = n->as<BinaryNode>();
    expression(b.left);
    expression(b.right);
    emit(Op::GETINDEX);
    break;
  }
  case NodeKind::CommaExpr: {
    const auto& b = n->as<BinaryNode>();
    expression(b.left);
    emit(Op::POP);
    expression(b.right);
    break;
  }
  case NodeKind::AssignExpr: assignment(n->as<BinaryNode>()); break;
  case NodeKind::CondExpr: {
    const auto& c = n->as<ConditionalNode>();
    const int otherwise = newLabel();
    const int done = newLabel();
    expression(c.test);
    jumpIfFalse(c.test, otherwise);
    expression(c.consequent);
    emitJump(Op::JMP, done);
    emitLabel(otherwise);
    expression(c.alternate);
    emitLabel(done);
    break;
  }
  case NodeKind::LogicalExpr: {
    const auto& b = n->as<BinaryNode>();
    const int done = newLabel();
    expression(b.left);
    emit(Op::DUP);
    if (b.op == tok::AndAnd)
      jumpIfFalse(b.left, done);
    else
      jumpIfTrue(b.left, done);
    emit(Op::POP);
    expression(b.right);
    emitLabel(done);
    break;
  }
  case NodeKind::BitwiseExpr:
  case NodeKind::EqualityExpr:
  case NodeKind::RelationalExpr:
  case NodeKind::ShiftExpr:
  case NodeKind::MulExpr:
  case NodeKind::AddExpr: {
    const auto& b = n->as<BinaryNode>();
    expression(b.left);
    expression(b.right);
    line_ = n->line;
    emit(binaryOp(b.op));
    break;
  }
  case NodeKind::UnaryExpr: unary(n->as<UnaryNode>()); break;
  case NodeKind::PostfixExpr: {
    const auto& u = n->as<UnaryNode>();
    compoundStore(u.operand, u.op == tok::PlusPlus ? Op::ADD : Op::SUB, nullptr, true);
    break;
  }
  case NodeKind::CallExpr: call(n->as<CallNode>()); break;
  case NodeKind::NewExpr: construct(n->as<CallNode>()); break;
  case NodeKind::ArrayExpr: arrayLiteral(n->as<ListNode>()); break;
  case NodeKind::ObjectExpr: objectLiteral(n->as<ListNode>()); break;
  default: diag_.error(n->line, "invalid expression");
  }
  line_ = saved;
}

// The condition jumps: a condition known to give a Boolean is tested by
// its raw payload.
void CodeGenerator::jumpIfFalse(const Node* condition, int label) {
  emitJump(condition && condition->staticKind == kStaticBoolean ? Op::JFRAW : Op::JFALSE, label);
}

void CodeGenerator::jumpIfTrue(const Node* condition, int label) {
  emitJump(condition && condition->staticKind == kStaticBoolean ? Op::JTRAW : Op::JTRUE, label);
}

void CodeGenerator::badTarget(const Node* n) { diag_.error(n->line, "invalid assignment target"); }

void CodeGenerator::assignment(const BinaryNode& n) {
  if (!isStorable(n.left)) badTarget(&n);
  if (n.op != '=') {
    compoundStore(n.left, binaryOp(n.op), n.right, false);
    return;
  }
  expression(n.right);
  line_ = n.line;
  emit(Op::DUP);
  switch (n.left->kind) {
  case NodeKind::NameExpr: storeName(n.left->as<TextNode>().text.view()); break;
  case NodeKind::MemberExpr: {
    const auto& m = n.left->as<MemberNode>();
    expression(m.object);
    emitName(Op::SETPROP, m.name.view());
    break;
  }
  default: {
    const auto& b = n.left->as<BinaryNode>();
    expression(b.left);
    expression(b.right);
    emit(Op::SETINDEX);
  }
  }
}

// target op= value, ++ and --: the target's object and index are evaluated
// once and kept on the stack for the store. With `value` null the operand
// is 1; `postfix` leaves the old value as the result.
void CodeGenerator::compoundStore(const Node* target, Op op, const Node* value, bool postfix) {
  if (!isStorable(target)) badTarget(target);
  auto operand = [&] {
    if (value)
      expression(value);
    else
      emit(Op::PUSH1);
    emit(op);
  };
  switch (target->kind) {
  case NodeKind::NameExpr: {
    const std::string_view name = target->as<TextNode>().text.view();
    loadName(name);
    if (postfix) emit(Op::DUP);
    operand();
    if (!postfix) emit(Op::DUP);
    storeName(name);
    return;
  }
  case NodeKind::MemberExpr: {
    const auto& m = target->as<MemberNode>();
    expression(m.object);  // o
    emit(Op::DUP);
    emitName(Op::GETPROP, m.name.view());  // o v
    if (postfix) {
      emit(Op::DUP);       // o v v
      emitInt(Op::ROT, 3);  // v o v
    }
    operand();             // o r   (postfix: v o r)
    if (!postfix) {
      emit(Op::DUP);        // o r r
      emitInt(Op::ROT, 3);  // r o r
    }
    emit(Op::SWAP);        // r r o
    emitName(Op::SETPROP, m.name.view());
    return;
  }
  default: {
    const auto& b = target->as<BinaryNode>();
    expression(b.left);
    expression(b.right);   // o k
    emit(Op::DUP);
    emitInt(Op::ROT, -3);
    emit(Op::DUP);
    emitInt(Op::ROT, 4);
    emit(Op::SWAP);        // o k o k
    emit(Op::GETINDEX);    // o k v
    if (postfix) {
      emit(Op::DUP);        // o k v v
      emitInt(Op::ROT, 4);  // v o k v
    }
    operand();             // o k r   (postfix: v o k r)
    if (!postfix) {
      emit(Op::DUP);        // o k r r
      emitInt(Op::ROT, 4);  // r o k r
    }
    emitInt(Op::ROT, 3);   // r r o k
    emit(Op::SETINDEX);
  }
  }
}

void CodeGenerator::unary(const UnaryNode& n) {
  const Node* operand = n.operand;
  switch (n.op) {
  case '!': expression(operand); emit(Op::NOT); return;
  case '-': expression(operand); emit(Op::NEG); return;
  case tok::Typeof: expression(operand); emit(Op::TYPEOF); return;
  case '+': expression(operand); return;
  case '~':
    expression(operand);
    emitInt(Op::PUSHCONST, -1);
    emit(Op::XOR);
    return;
  case tok::Void:
    expression(operand);
    emit(Op::POP);
    emit(Op::PUSHUNDEF);
    return;
  case tok::PlusPlus:
  case tok::MinusMinus: compoundStore(operand, n.op == tok::PlusPlus ? Op::ADD : Op::SUB, nullptr, false); return;
  case tok::Delete: break;
  default: diag_.error(n.line, "invalid expression");
  }
  switch (operand->kind) {
  case NodeKind::MemberExpr:
    expression(operand->as<MemberNode>().object);
    emitName(Op::DELPROP, operand->as<MemberNode>().name.view());
    return;
  case NodeKind::IndexExpr:
    expression(operand->as<BinaryNode>().left);
    expression(operand->as<BinaryNode>().right);
    emit(Op::DELINDEX);
    return;
  case NodeKind::NameExpr: {
    const std::string_view name = operand->as<TextNode>().text.view();
    emit(Op::PUSHNULL);
    if (withDepth_ > 0)
      emitName(Op::DELNAME, name);
    else if (const Binding* b = lookup(name))
      emitInt(b->kind == BindingKind::Parameter ? Op::DELSLOT : Op::DELLOCAL, b->slot);
    else
      emitName(Op::DELGLOBAL, name);
    return;
  }
  default:
    // Nothing to delete; the operand is still evaluated and the result is
    // Undefined, as for the other forms.
    expression(operand);
    emit(Op::POP);
    emit(Op::PUSHUNDEF);
  }
}

void CodeGenerator::pushArguments(const Node* args, int count) {
  for (const Node* a = args; a; a = a->next) expression(a);  // last to first
  pushCount(count);
}

void CodeGenerator::call(const CallNode& n) {
  pushArguments(n.args, n.count);
  const Node* callee = n.callee;
  if (callee->kind == NodeKind::NameExpr) {
    const std::string_view name = callee->as<TextNode>().text.view();
    loadName(name);
    line_ = n.line;
    if (withDepth_ > 0)
      emitName(Op::CALLNAME, name);
    else
      emit(Op::CALL);
  } else if (callee->kind == NodeKind::MemberExpr) {
    expression(callee->as<MemberNode>().object);
    line_ = n.line;
    emitName(Op::CALLMETHOD, callee->as<MemberNode>().name.view());
  } else {
    expression(callee);
    line_ = n.line;
    emit(Op::CALL);
  }
  slide(n.count + 2);
}

void CodeGenerator::construct(const CallNode& n) {
  pushArguments(n.args, n.count);
  expression(n.callee);
  line_ = n.line;
  emit(Op::NEW);
  emit(Op::SWAP);
  slide(n.count + 2);
}

void CodeGenerator::arrayLiteral(const ListNode& n) {
  for (const Node* e = n.items; e; e = e->next) {
    if (e->kind == NodeKind::EmptyStmt)
      emit(Op::PUSHUNDEF);
    else
      expression(e);
  }
  line_ = n.line;
  emitInt(Op::PUSHINT, -static_cast<std::int64_t>(n.count));
  emitName(Op::LDGLOBAL, "Array");
  emit(Op::NEW);
  emit(Op::SWAP);
  slide(n.count + 2);
}

void CodeGenerator::objectLiteral(const ListNode& n) {
  emit(Op::PUSH0);
  emitName(Op::LDGLOBAL, "Object");
  emit(Op::NEW);
  emit(Op::SWAP);
  emitInt(Op::SLIDE, 2);
  // Stored last written first, so that the first of a repeated key wins.
  for (const Node* p = n.items; p; p = p->next) {
    const auto& prop = p->as<PropertyNode>();
    emit(Op::DUP);
    expression(prop.value);
    emit(Op::SWAP);
    if (prop.keyKind == tok::Integer) {
      pushInteger(prop.intKey);
      emit(Op::SETINDEX);
    } else if (prop.keyKind == tok::String) {
      Instruction& i = emit(Op::PUSHCONST);
      i.kind = OperandKind::Text;
      i.text = prop.textKey.view();
      emit(Op::SETINDEX);
    } else {
      emitName(Op::SETPROP, prop.textKey.view());
    }
  }
}

} // namespace plumex::script::compiler
