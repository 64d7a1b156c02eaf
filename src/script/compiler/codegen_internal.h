#pragma once
// The code generator's state: the instruction list being written, the
// compile scopes of the current function and its control stack.

#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/compiler/code_generator.h"

namespace plumex::script::compiler {

class CodeGenerator {
public:
  explicit CodeGenerator(Diagnostics& diagnostics) : diag_(diagnostics) {}
  InstructionList run(const SyntaxTree& tree);

private:
  // A name bound in a compile scope: a parameter (frame slot) or a local.
  enum class BindingKind { Parameter = 1, Local = 2 };
  struct Binding {
    BindingKind kind;
    int slot;
  };
  struct Scope {
    int nextLocal = 0;
    std::unordered_map<std::string_view, Binding> names;
  };

  // One enclosing loop, switch, labelled statement, or a part of a try
  // statement that keeps values on the stack (the catch clauses and the
  // finally part keep two). `labels` holds the statement labels naming it.
  struct ControlEntry {
    int breakLabel = 0;     // 0: none
    int continueLabel = 0;  // 0: none
    bool isSwitch = false;
    bool isForIn = false;
    int regionValues = 0;
    std::vector<std::string_view> labels;
    int withCount = 0;
    int tryCount = 0;
  };

  // Functions and the program.
  void function(const FunctionNode& f);
  void mainProgram(const Node* statements);
  void argumentsPrologue(const FunctionNode& f);
  // Emits a RESERVE to be sized when the body is done, and sizes it.
  std::size_t reservePlaceholder();
  void finishReserve(std::size_t at, int needed);
  int slotsNeeded(const Node* statements, bool isMain) const;
  int nestedNeed(const Node* statement) const;

  // Scopes.
  void openScope();
  void closeScope();
  void declareLocal(std::string_view name, int line);
  void declareParameter(std::string_view name, int slot);
  const Binding* lookup(std::string_view name) const;
  void loadName(std::string_view name);
  void storeName(std::string_view name);

  // Expressions: each leaves one value.
  void expression(const Node* n);
  void assignment(const BinaryNode& n);
  void compoundStore(const Node* target, Op op, const Node* value, bool postfix);
  void unary(const UnaryNode& n);
  void call(const CallNode& n);
  void construct(const CallNode& n);
  void arrayLiteral(const ListNode& n);
  void objectLiteral(const ListNode& n);
  void pushArguments(const Node* args, int count);
  void jumpIfFalse(const Node* condition, int label);
  void jumpIfTrue(const Node* condition, int label);
  [[noreturn]] void badTarget(const Node* n);

  // Statements: each leaves the stack as it found it.
  void statements(const Node* list);
  void statement(const Node* n);
  void varStatement(const VarNode& n);
  void forStatement(const ForNode& n, std::vector<std::string_view> labels);
  void forInStatement(const ForInNode& n, std::vector<std::string_view> labels);
  void whileStatement(const LoopNode& n, std::vector<std::string_view> labels);
  void doStatement(const LoopNode& n, std::vector<std::string_view> labels);
  void labelled(const LabelNode& n);
  void loop(const Node* n, std::vector<std::string_view> labels);
  void jumpStatement(const TextNode& n, bool isBreak);
  void returnStatement(const UnaryNode& n);
  void withStatement(const LoopNode& n);
  void switchStatement(const SwitchNode& n);
  void tryStatement(const TryNode& n);
  void catchClauses(const TryNode& n, int finallyLabel);
  void dllImport(const DllImportNode& n);

  // Control stack.
  ControlEntry& innermost() { return control_.back(); }
  int tryGuardsOpen() const;

  // Emission.
  Instruction& emit(Op op);
  void emitInt(Op op, std::int64_t value);
  void emitName(Op op, std::string_view name);
  void emitJump(Op op, int label);
  void emitLabel(int label);
  void pushInteger(std::int64_t value);
  void pushCount(int count);
  void slide(int count);
  int newLabel() { return nextLabel_++; }

  Diagnostics& diag_;
  InstructionList code_;
  int line_ = 0;
  int nextLabel_ = 1;
  std::vector<Scope> scopes_;
  std::vector<ControlEntry> control_;
  int withDepth_ = 0;       // `with` statements open in the current function
  int localsInUse_ = 0;     // the highest local slot count in use so far
  bool inFunction_ = false;
};

} // namespace plumex::script::compiler
