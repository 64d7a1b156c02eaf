// Code for statements: each leaves the stack as it found it.

#include <algorithm>
#include <vector>

#include "script/compiler/codegen_internal.h"

namespace plumex::script::compiler {

void CodeGenerator::statements(const Node* list) {
  for (const Node* s = list; s; s = s->next) statement(s);
}

void CodeGenerator::statement(const Node* n) {
  line_ = n->line;
  switch (n->kind) {
  case NodeKind::ExprStmt:
    expression(n->as<UnaryNode>().operand);
    line_ = n->line;
    emit(Op::POP);
    break;
  case NodeKind::BlockStmt:
    openScope();
    statements(n->as<ListNode>().items);
    closeScope();
    break;
  case NodeKind::EmptyStmt: break;
  case NodeKind::VarStmt: varStatement(n->as<VarNode>()); break;
  case NodeKind::IfStmt: {
    const auto& i = n->as<ConditionalNode>();
    const int otherwise = newLabel();
    const int done = newLabel();
    expression(i.test);
    jumpIfFalse(i.test, otherwise);
    statement(i.consequent);
    emitJump(Op::JMP, done);
    emitLabel(otherwise);
    if (i.alternate) statement(i.alternate);
    emitLabel(done);
    break;
  }
  case NodeKind::WhileStmt:
  case NodeKind::DoWhileStmt:
  case NodeKind::ForStmt:
  case NodeKind::ForInStmt: loop(n, {}); break;
  case NodeKind::WithStmt: withStatement(n->as<LoopNode>()); break;
  case NodeKind::LabelledStmt: labelled(n->as<LabelNode>()); break;
  case NodeKind::ContinueStmt: jumpStatement(n->as<TextNode>(), false); break;
  case NodeKind::BreakStmt: jumpStatement(n->as<TextNode>(), true); break;
  case NodeKind::ReturnStmt: returnStatement(n->as<UnaryNode>()); break;
  case NodeKind::ThrowStmt:
    expression(n->as<UnaryNode>().operand);
    line_ = n->line;
    emit(Op::THROW);
    break;
  case NodeKind::SwitchStmt: switchStatement(n->as<SwitchNode>()); break;
  case NodeKind::TryStmt: tryStatement(n->as<TryNode>()); break;
  case NodeKind::NestedFunctionStmt: {
    // The inner function becomes a property of the enclosing function.
    const auto& f = n->as<NestedFunctionNode>();
    emitName(Op::LDGLOBAL, f.internalName.view());
    emitName(Op::LDGLOBAL, f.enclosing.view());
    emitName(Op::SETPROP, f.sourceName.view());
    break;
  }
  case NodeKind::DllImportStmt: dllImport(n->as<DllImportNode>()); break;
  default: diag_.error(n->line, "invalid statement");
  }
}

void CodeGenerator::varStatement(const VarNode& n) {
  for (const Node* d = n.declarators; d; d = d->next) {
    const auto& decl = d->as<DeclaratorNode>();
    const std::string_view name = decl.name.view();
    line_ = decl.line;
    if (n.topLevel) {
      // Directly at the top level a `var` names a global.
      if (decl.init) {
        expression(decl.init);
        emitName(Op::STGLOBAL, name);
      }
      continue;
    }
    declareLocal(name, decl.line);
    if (decl.init) {
      expression(decl.init);
      emitInt(Op::STLOCAL, lookup(name)->slot);
    }
  }
}

void CodeGenerator::loop(const Node* n, std::vector<std::string_view> labels) {
  switch (n->kind) {
  case NodeKind::WhileStmt: whileStatement(n->as<LoopNode>(), std::move(labels)); break;
  case NodeKind::DoWhileStmt: doStatement(n->as<LoopNode>(), std::move(labels)); break;
  case NodeKind::ForStmt: forStatement(n->as<ForNode>(), std::move(labels)); break;
  default: forInStatement(n->as<ForInNode>(), std::move(labels)); break;
  }
}

void CodeGenerator::whileStatement(const LoopNode& n, std::vector<std::string_view> labels) {
  const int top = newLabel();
  const int done = newLabel();
  emitLabel(top);
  expression(n.test);
  jumpIfFalse(n.test, done);
  control_.push_back({done, top, false, false, 0, std::move(labels)});
  statement(n.body);
  control_.pop_back();
  emitJump(Op::JMP, top);
  emitLabel(done);
}

void CodeGenerator::doStatement(const LoopNode& n, std::vector<std::string_view> labels) {
  const int top = newLabel();
  const int test = newLabel();
  const int done = newLabel();
  emitLabel(top);
  control_.push_back({done, test, false, false, 0, std::move(labels)});
  statement(n.body);
  control_.pop_back();
  emitLabel(test);
  expression(n.test);
  jumpIfTrue(n.test, top);
  emitLabel(done);
}

void CodeGenerator::forStatement(const ForNode& n, std::vector<std::string_view> labels) {
  const int top = newLabel();
  const int next = newLabel();
  const int done = newLabel();
  if (n.declarators) {
    openScope();
    for (const Node* d = n.declarators; d; d = d->next) {
      const auto& decl = d->as<DeclaratorNode>();
      declareLocal(decl.name.view(), decl.line);
      if (decl.init) {
        expression(decl.init);
        emitInt(Op::STLOCAL, lookup(decl.name.view())->slot);
      }
    }
  } else if (n.init) {
    expression(n.init);
    emit(Op::POP);
  }
  emitLabel(top);
  if (n.test) {
    expression(n.test);
  } else {
    emit(Op::PUSHTRUE);
  }
  jumpIfFalse(n.test, done);
  control_.push_back({done, next, false, false, 0, std::move(labels)});
  statement(n.body);
  control_.pop_back();
  emitLabel(next);
  if (n.update) {
    expression(n.update);
    emit(Op::POP);
  }
  emitJump(Op::JMP, top);
  emitLabel(done);
  if (n.declarators) closeScope();
}

// The collection c and the counter i stay on the stack while the loop
// runs: c i c i before each step.
void CodeGenerator::forInStatement(const ForInNode& n, std::vector<std::string_view> labels) {
  const int top = newLabel();
  const int next = newLabel();
  const int exhausted = newLabel();
  const int done = newLabel();
  std::string_view variable;
  if (n.declarator) {
    const auto& decl = n.declarator->as<DeclaratorNode>();
    variable = decl.name.view();
    openScope();
    declareLocal(variable, decl.line);
    if (decl.init) {
      expression(decl.init);
      emitInt(Op::STLOCAL, lookup(variable)->slot);
    }
  } else {
    variable = n.target->as<TextNode>().text.view();
  }
  expression(n.object);
  line_ = n.line;
  emit(Op::DUP);
  emit(Op::PUSH0);
  emit(Op::SWAP);
  emit(Op::PUSH0);
  emitLabel(top);
  emit(Op::FORINNEXT);
  emitJump(Op::JFRAW, exhausted);
  storeName(variable);
  control_.push_back({done, next, false, true, 0, std::move(labels)});
  statement(n.body);
  control_.pop_back();
  line_ = n.line;
  emitLabel(next);
  emit(Op::PUSH1);
  emit(Op::ADD);
  emit(Op::DUP);
  emitInt(Op::ROT, -3);
  emit(Op::DUP);
  emitInt(Op::ROT, 4);
  emit(Op::SWAP);
  emitJump(Op::JMP, top);
  emitLabel(exhausted);
  emit(Op::POP);
  emitLabel(done);
  emitInt(Op::POPN, 2);
  if (n.declarator) closeScope();
}

// A label on a loop names the loop itself, so `break L` and `continue L`
// act as they would unlabelled inside it.
void CodeGenerator::labelled(const LabelNode& first) {
  std::vector<std::string_view> labels;
  const Node* body = &first;
  while (body->kind == NodeKind::LabelledStmt) {
    labels.push_back(body->as<LabelNode>().label.view());
    body = body->as<LabelNode>().body;
  }
  switch (body->kind) {
  case NodeKind::WhileStmt:
  case NodeKind::DoWhileStmt:
  case NodeKind::ForStmt:
  case NodeKind::ForInStmt: loop(body, std::move(labels)); return;
  default: break;
  }
  const int done = newLabel();
  control_.push_back({done, 0, false, false, 0, std::move(labels)});
  statement(body);
  control_.pop_back();
  emitLabel(done);
}

void CodeGenerator::jumpStatement(const TextNode& n, bool isBreak) {
  const std::string_view label = n.text.view();
  std::size_t target = control_.size();
  for (std::size_t i = control_.size(); i-- > 0;) {
    const ControlEntry& e = control_[i];
    const bool match = n.text ? std::find(e.labels.begin(), e.labels.end(), label) != e.labels.end()
                              : (isBreak ? e.breakLabel : e.continueLabel) != 0;
    if (match) {
      target = i;
      break;
    }
  }
  const int destination =
      target == control_.size() ? 0 : (isBreak ? control_[target].breakLabel : control_[target].continueLabel);
  if (destination == 0) diag_.error(n.line, isBreak ? "invalid break" : "invalid continue");

  // Leave what the constructs inside the target hold; the target's own
  // stack values are dropped at its break label or kept for its next step.
  int withs = 0;
  int tries = 0;
  int switches = 0;
  std::vector<int> pairs;
  for (std::size_t i = target; i < control_.size(); ++i) {
    const ControlEntry& e = control_[i];
    withs += e.withCount;
    tries += e.tryCount;
    if (i == target) continue;
    if (e.isSwitch) ++switches;
    if (e.isForIn) pairs.push_back(2);
    if (e.regionValues) pairs.push_back(e.regionValues);
  }
  line_ = n.line;
  if (withs) emitInt(Op::LEAVEWITH, withs);
  if (tries) emitInt(Op::LEAVETRY, tries);
  if (switches == 1)
    emit(Op::POP);
  else if (switches > 1)
    emitInt(Op::POPN, switches);
  for (int values : pairs) emitInt(Op::POPN, values);
  emitJump(Op::JMP, destination);
}

void CodeGenerator::returnStatement(const UnaryNode& n) {
  if (const int tries = tryGuardsOpen()) emitInt(Op::LEAVETRY, tries);
  if (n.operand)
    expression(n.operand);
  else
    emit(Op::PUSHUNDEF);
  line_ = n.line;
  emit(Op::RETURN);
}

void CodeGenerator::withStatement(const LoopNode& n) {
  expression(n.test);
  line_ = n.line;
  emit(Op::WITH);
  const std::size_t entry = control_.size() - 1;
  ++control_[entry].withCount;
  ++withDepth_;
  statement(n.body);
  --withDepth_;
  --control_[entry].withCount;
  line_ = n.line;
  emitInt(Op::LEAVEWITH, 1);
}

// The discriminant stays on the stack; case tests run in source order and
// the bodies fall through into each other.
void CodeGenerator::switchStatement(const SwitchNode& n) {
  expression(n.discriminant);
  const int done = newLabel();
  std::vector<const CaseNode*> clauses;
  for (const Node* c = n.clauses; c; c = c->next) clauses.push_back(&c->as<CaseNode>());
  std::vector<int> tests(clauses.size());
  std::vector<int> bodies(clauses.size());
  int defaultBody = 0;
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    tests[i] = newLabel();
    bodies[i] = newLabel();
    if (!clauses[i]->test) defaultBody = bodies[i];
  }
  auto nextTest = [&](std::size_t i) {
    for (std::size_t j = i + 1; j < clauses.size(); ++j)
      if (clauses[j]->test) return tests[j];
    return defaultBody ? defaultBody : done;
  };

  control_.push_back({done, 0, true, false, 0, {}});
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    const CaseNode& c = *clauses[i];
    line_ = c.line;
    if (c.test) {
      emitLabel(tests[i]);
      emit(Op::DUP);
      expression(c.test);
      emit(Op::STRICTEQ);
      emitJump(Op::JFRAW, nextTest(i));
    }
    emitLabel(bodies[i]);
    statements(c.body);
    line_ = c.endLine;
    emitJump(Op::JMP, i + 1 < clauses.size() ? bodies[i + 1] : done);
  }
  control_.pop_back();
  line_ = n.closeLine;
  emitLabel(done);
  emit(Op::POP);
}

// The finally part starts with two values on the stack: a pending
// exception (Undefined when there is none) and a flag telling whether to
// throw it once the finally part is done. Keeping two values on every path
// gives the code one stack depth wherever paths meet.
void CodeGenerator::tryStatement(const TryNode& n) {
  const int handler = newLabel();
  const int finish = newLabel();
  const int done = newLabel();
  emitJump(Op::TRY, handler);
  const std::size_t entry = control_.size() - 1;
  ++control_[entry].tryCount;
  statement(n.body);
  --control_[entry].tryCount;
  line_ = n.afterBodyLine;
  emitInt(Op::LEAVETRY, 1);
  emit(Op::PUSHUNDEF);
  emit(Op::PUSHFALSE);
  emitJump(Op::JMP, finish);
  emitLabel(handler);
  if (n.catches)
    catchClauses(n, finish);
  else
    emit(Op::PUSHTRUE);
  emitLabel(finish);
  if (n.finally) {
    control_.push_back({0, 0, false, false, 2, {}});
    statement(n.finally);
    control_.pop_back();
  }
  line_ = n.endLine;
  emitJump(Op::JFRAW, done);
  emit(Op::THROW);
  emitLabel(done);
  emit(Op::POP);
}

// Entered with the exception e on the stack; leaves e and the re-throw
// flag. While the clauses run the stack holds a matched flag and e.
void CodeGenerator::catchClauses(const TryNode& n, int finish) {
  const int escaped = newLabel();
  const int after = newLabel();
  const int matched = newLabel();
  emit(Op::PUSHFALSE);
  emit(Op::SWAP);
  emitJump(Op::TRY, escaped);
  control_.push_back({0, 0, false, false, 2, {}, 0, 1});
  for (const Node* node = n.catches; node; node = node->next) {
    const auto& c = node->as<CatchNode>();
    const int next = newLabel();
    const int body = newLabel();
    line_ = c.line;
    openScope();
    declareLocal(c.name.view(), c.line);
    emit(Op::DUP);
    emitInt(Op::STLOCAL, lookup(c.name.view())->slot);
    if (c.condition) {
      const int failed = newLabel();
      emitJump(Op::TRY, failed);
      expression(c.condition);
      emitInt(Op::LEAVETRY, 1);
      jumpIfFalse(c.condition, next);
      emitJump(Op::JMP, body);
      emitLabel(failed);
      emit(Op::POP);
      emitJump(Op::JMP, next);
    }
    emitLabel(body);
    emit(Op::SWAP);
    emit(Op::POP);
    emit(Op::PUSHTRUE);
    emit(Op::SWAP);
    statement(c.body);
    closeScope();
    emitJump(Op::JMP, after);
    emitLabel(next);
  }
  control_.pop_back();
  line_ = n.endLine;
  emitLabel(after);
  emitInt(Op::LEAVETRY, 1);
  emit(Op::SWAP);
  emitJump(Op::JTRAW, matched);
  emit(Op::PUSHTRUE);
  emitJump(Op::JMP, finish);
  emitLabel(matched);
  emit(Op::PUSHFALSE);
  emitJump(Op::JMP, finish);
  emitLabel(escaped);
  emitInt(Op::SLIDE, 2);
  emit(Op::PUSHTRUE);
}

void CodeGenerator::dllImport(const DllImportNode& n) {
  auto pushText = [&](std::string_view text) {
    Instruction& i = emit(Op::PUSHCONST);
    i.kind = OperandKind::Text;
    i.text = text;
  };
  for (const Node* t = n.paramTypes; t; t = t->next) pushText(t->as<TextNode>().text.view());
  pushText(n.returnType->as<TextNode>().text.view());
  pushText(n.callType.view());
  pushText(n.alias ? n.alias.view() : n.function.view());
  pushText(n.function.view());
  expression(n.library);
  emitInt(Op::PUSHINT, n.paramCount + 5);
  emitName(Op::LDGLOBAL, "Dll");
  emitName(Op::CALLMETHOD, "registerFunction");
  slide(n.paramCount + 7);
  emit(Op::POP);
}

} // namespace plumex::script::compiler
