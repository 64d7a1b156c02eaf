// Program layout, function prologues, compile scopes, slot counting and
// emission helpers.

#include <algorithm>

#include "script/compiler/codegen_internal.h"

namespace plumex::script::compiler {

InstructionList generateCode(const SyntaxTree& tree, Diagnostics& diagnostics) {
  return CodeGenerator(diagnostics).run(tree);
}

InstructionList CodeGenerator::run(const SyntaxTree& tree) {
  for (const FunctionNode* f = tree.functions; f; f = static_cast<const FunctionNode*>(f->next))
    function(*f);
  if (tree.main) mainProgram(tree.main);
  return std::move(code_);
}

// ---- Functions and the program ------------------------------------------

void CodeGenerator::function(const FunctionNode& f) {
  line_ = f.line;
  scopes_.assign(1, Scope{});
  control_.assign(1, ControlEntry{});
  withDepth_ = 0;
  localsInUse_ = 0;
  inFunction_ = true;

  Instruction& label = emit(Op::NOP);
  label.op = kFunctionLabel;
  label.kind = OperandKind::Text;
  label.text = f.internalName.view();

  int params = 0;
  for (const Node* p = f.params; p; p = p->next) {
    if (params == kMaxParameters) {
      diag_.error(p->line, "too many formal parameters (at most %d)", kMaxParameters);
    }
    declareParameter(p->as<TextNode>().text.view(), 2 + params++);
  }

  line_ = f.braceLine;
  emitInt(Op::LDSLOT, 1);
  emit(Op::ADD2);
  emitInt(Op::ADJUSTARGS, params + 2);
  const Node* body = f.body->kind == NodeKind::BlockStmt ? f.body->as<ListNode>().items : nullptr;
  const std::size_t reserve = reservePlaceholder();
  if (f.usesArguments) argumentsPrologue(f);
  statements(body);
  finishReserve(reserve, slotsNeeded(body, false) + (f.usesArguments ? 1 : 0));
  emit(Op::PUSHUNDEF);
  emit(Op::RETURN);
}

void CodeGenerator::mainProgram(const Node* list) {
  scopes_.assign(1, Scope{});
  control_.assign(1, ControlEntry{});
  withDepth_ = 0;
  localsInUse_ = 0;
  inFunction_ = false;
  line_ = list->line;

  Instruction& label = emit(Op::NOP);
  label.op = kFunctionLabel;
  label.kind = OperandKind::Text;
  label.text = ".main";
  const std::size_t reserve = reservePlaceholder();
  statements(list);
  finishReserve(reserve, slotsNeeded(list, true));
  // The value of a final expression statement is the program's result.
  if (code_.back().op == static_cast<int>(Op::POP))
    code_.pop_back();
  else
    emit(Op::PUSHUNDEF);
}

// `arguments`: a new Object holding the actual arguments by position, with
// `length` and `callee`.
void CodeGenerator::argumentsPrologue(const FunctionNode& f) {
  declareLocal("arguments", f.line);
  const int s = lookup("arguments")->slot;
  emit(Op::PUSH0);
  emitName(Op::LDGLOBAL, "Object");
  emit(Op::NEW);
  emit(Op::SWAP);
  emitInt(Op::SLIDE, 2);
  emitInt(Op::STLOCAL, s);
  emit(Op::PUSH0);
  const int loopTop = newLabel();
  const int done = newLabel();
  emitLabel(loopTop);
  emit(Op::DUP);
  emitInt(Op::LDSLOT, 1);
  emit(Op::GE);
  emitJump(Op::JTRAW, done);
  emit(Op::DUP);
  emit(Op::DUP);
  emit(Op::ADD2);
  emit(Op::GETSLOT);
  emit(Op::SWAP);
  emitInt(Op::LDLOCAL, s);
  emit(Op::SWAP);
  emit(Op::SETINDEX);
  emit(Op::INC);
  emitJump(Op::JMP, loopTop);
  emitLabel(done);
  emitInt(Op::LDLOCAL, s);
  emitName(Op::SETPROP, "length");
  emitName(Op::LDGLOBAL, f.internalName.view());
  emitInt(Op::LDLOCAL, s);
  emitName(Op::SETPROP, "callee");
}

std::size_t CodeGenerator::reservePlaceholder() {
  emitInt(Op::RESERVE, 0);
  return code_.size() - 1;
}

// The counting rule sizes the frame as modules have always been sized;
// where it falls short of the slots the body really uses (variables
// declared directly in `if` branches or `switch` clauses stay in scope),
// the larger number is taken so that no local lands on the expression
// stack.
void CodeGenerator::finishReserve(std::size_t at, int needed) {
  const int n = std::max(needed, localsInUse_);
  if (n > kMaxLocals) diag_.error(line_, "too many local variables (at most %d)", kMaxLocals);
  if (n > 0)
    code_[at].integer = n;
  else
    code_.erase(code_.begin() + static_cast<std::ptrdiff_t>(at));
}

namespace {

int declaratorCount(const Node* statement) {
  return statement->kind == NodeKind::VarStmt ? statement->as<VarNode>().count : 0;
}

} // namespace

int CodeGenerator::slotsNeeded(const Node* list, bool isMain) const {
  int direct = 0;
  int nested = 0;
  for (const Node* s = list; s; s = s->next) {
    if (!isMain) direct += declaratorCount(s);
    nested = std::max(nested, nestedNeed(s));
  }
  return direct + nested;
}

int CodeGenerator::nestedNeed(const Node* s) const {
  if (!s) return 0;
  switch (s->kind) {
  case NodeKind::BlockStmt: {
    int own = 0;
    int nested = 0;
    for (const Node* c = s->as<ListNode>().items; c; c = c->next) {
      own += declaratorCount(c);
      nested = std::max(nested, nestedNeed(c));
    }
    return own + nested;
  }
  case NodeKind::ForStmt: {
    const auto& f = s->as<ForNode>();
    return f.declarators ? f.count : nestedNeed(f.body);
  }
  case NodeKind::ForInStmt: {
    const auto& f = s->as<ForInNode>();
    return f.declarator ? 1 : nestedNeed(f.body);
  }
  case NodeKind::TryStmt: {
    const auto& t = s->as<TryNode>();
    int clauses = 0;
    int parts = std::max(nestedNeed(t.body), nestedNeed(t.finally));
    for (const Node* c = t.catches; c; c = c->next) {
      ++clauses;
      parts = std::max(parts, nestedNeed(c->as<CatchNode>().body));
    }
    return clauses + parts;
  }
  case NodeKind::IfStmt: {
    const auto& i = s->as<ConditionalNode>();
    return std::max(nestedNeed(i.consequent), nestedNeed(i.alternate));
  }
  case NodeKind::WhileStmt:
  case NodeKind::DoWhileStmt:
  case NodeKind::WithStmt: return nestedNeed(s->as<LoopNode>().body);
  case NodeKind::LabelledStmt: return nestedNeed(s->as<LabelNode>().body);
  case NodeKind::SwitchStmt: {
    int need = 0;
    for (const Node* c = s->as<SwitchNode>().clauses; c; c = c->next)
      for (const Node* b = c->as<CaseNode>().body; b; b = b->next) need = std::max(need, nestedNeed(b));
    return need;
  }
  default: return 0;
  }
}

// ---- Scopes ---------------------------------------------------------------

void CodeGenerator::openScope() {
  Scope inner;
  inner.nextLocal = scopes_.back().nextLocal;
  scopes_.push_back(std::move(inner));
}

void CodeGenerator::closeScope() { scopes_.pop_back(); }

void CodeGenerator::declareLocal(std::string_view name, int line) {
  Scope& scope = scopes_.back();
  auto it = scope.names.find(name);
  if (it != scope.names.end() && it->second.kind == BindingKind::Local) return;
  if (scope.nextLocal >= kMaxLocals) diag_.error(line, "too many local variables (at most %d)", kMaxLocals);
  const Binding b{BindingKind::Local, scope.nextLocal++};
  localsInUse_ = std::max(localsInUse_, scope.nextLocal);
  scope.names.insert_or_assign(name, b);
}

void CodeGenerator::declareParameter(std::string_view name, int slot) {
  // A repeated parameter name refers to its last position.
  scopes_.back().names.insert_or_assign(name, Binding{BindingKind::Parameter, slot});
}

const CodeGenerator::Binding* CodeGenerator::lookup(std::string_view name) const {
  for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
    auto it = s->names.find(name);
    if (it != s->names.end()) return &it->second;
  }
  return nullptr;
}

void CodeGenerator::loadName(std::string_view name) {
  if (const Binding* b = lookup(name))
    emitInt(b->kind == BindingKind::Parameter ? Op::LDSLOT : Op::LDLOCAL, b->slot);
  else
    emitName(withDepth_ > 0 ? Op::GETNAME : Op::LDGLOBAL, name);
}

void CodeGenerator::storeName(std::string_view name) {
  if (const Binding* b = lookup(name))
    emitInt(b->kind == BindingKind::Parameter ? Op::STSLOT : Op::STLOCAL, b->slot);
  else
    emitName(withDepth_ > 0 ? Op::SETNAME : Op::STGLOBAL, name);
}

// ---- Control stack --------------------------------------------------------

int CodeGenerator::tryGuardsOpen() const {
  int n = 0;
  for (const ControlEntry& e : control_) n += e.tryCount;
  return n;
}

// ---- Emission -------------------------------------------------------------

Instruction& CodeGenerator::emit(Op op) {
  Instruction& i = code_.emplace_back();
  i.op = static_cast<int>(op);
  i.line = line_;
  return i;
}

void CodeGenerator::emitInt(Op op, std::int64_t value) {
  Instruction& i = emit(op);
  i.kind = OperandKind::Integer;
  i.integer = value;
}

void CodeGenerator::emitName(Op op, std::string_view name) {
  Instruction& i = emit(op);
  i.kind = OperandKind::Text;
  i.text = name;
}

void CodeGenerator::emitJump(Op op, int label) {
  Instruction& i = emit(op);
  i.kind = OperandKind::Label;
  i.integer = label;
}

void CodeGenerator::emitLabel(int label) {
  Instruction& i = emit(Op::NOP);
  i.op = kJumpLabel;
  i.kind = OperandKind::Label;
  i.integer = label;
}

void CodeGenerator::pushInteger(std::int64_t value) {
  static constexpr Op kSmall[] = {Op::PUSH0, Op::PUSH1, Op::PUSH2, Op::PUSH3};
  if (value >= 0 && value <= 3) {
    emit(kSmall[value]);
  } else {
    emitInt(Op::PUSHCONST, value);
  }
}

void CodeGenerator::pushCount(int count) {
  if (count <= 3)
    pushInteger(count);
  else
    emitInt(Op::PUSHINT, count);
}

// SLIDE carries a one-byte count; longer runs use SLIDEW.
void CodeGenerator::slide(int count) { emitInt(count > 127 ? Op::SLIDEW : Op::SLIDE, count); }

} // namespace plumex::script::compiler
