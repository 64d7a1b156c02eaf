#pragma once
// The recursive-descent parser's state, shared by its statement,
// expression and declaration units.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "script/compiler/diagnostics.h"
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"

namespace plumex::script::compiler {

class Parser {
public:
  Parser(ScriptStream& source, ScriptStream& messages, unsigned options, SyntaxTree& tree)
      : tree_(tree),
        diag_(messages),
        lexer_(source, diag_, tree.arena, (options & kOptionStrictStrings) != 0),
        warnSemicolon_((options & kOptionWarnSemicolon) != 0) {}

  void program();

private:
  // Levels of nesting held while a construct is parsed.
  class Nesting {
  public:
    explicit Nesting(Parser& p, int levels = 1) : p_(p) {
      while (levels-- > 0) deepen();
    }
    ~Nesting() { p_.depth_ -= levels_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    void deepen() {
      ++levels_;
      if (++p_.depth_ > kMaxNesting) p_.tooDeep();
    }

  private:
    Parser& p_;
    int levels_ = 0;
  };

  // Tokens.
  const Token& peek() {
    if (!hasPeek_) {
      peeked_ = lexer_.next();
      hasPeek_ = true;
    }
    return peeked_;
  }
  bool peekIs(int kind) { return peek().kind == kind; }
  Token take();
  bool accept(int kind) {
    if (!peekIs(kind)) return false;
    take();
    return true;
  }
  bool peekIsWord(std::string_view word) {
    return peekIs(tok::Identifier) && peek().text.view() == word;
  }

  // Diagnostics at the line of the last token taken (see errorLine).
  int errorLine();
  [[noreturn]] void syntaxError(const char* what);
  [[noreturn]] void tooDeep();
  void insertedSemicolon();

  template <class T>
  T* make(NodeKind kind, std::uint8_t staticKind = kStaticUnknown) {
    T* n = tree_.arena.make<T>();
    n->kind = kind;
    n->staticKind = staticKind;
    n->line = lastLine_;
    return n;
  }
  Node* nameNode(Text name);
  Node* stringNode(std::string_view text);

  // Statements.
  Node* statement();
  Node* block();
  // At least one declarator is required in a for statement only.
  VarNode* declarators(bool required);
  Node* ifStatement();
  Node* whileStatement();
  Node* doStatement();
  Node* forStatement();
  Node* jumpStatement(NodeKind kind);
  Node* returnStatement();
  Node* switchStatement();
  Node* withStatement();
  Node* tryStatement();
  void endStatement();
  Node* requireStatement(const char* what) {
    Node* s = statement();
    if (!s) syntaxError(what);
    return s;
  }
  Node* parenthesised(const char* missingOpen, const char* invalid, const char* missingClose);

  // Expressions.
  Node* comma();
  Node* assignment();
  Node* conditional();
  Node* binary(int minPrecedence);
  Node* unary();
  Node* postfix();
  Node* memberOrCall(bool allowCall);
  Node* primary();
  Node* arguments(int& count);
  Node* arrayLiteral();
  Node* objectLiteral();

  // Declarations.
  FunctionNode* functionDeclaration();
  Text anonymousName();
  Node* structDeclaration();
  void structMembers(std::string& out);
  void structMember(std::string& out, std::unordered_set<std::string>& names);
  bool typeName(std::string& out);
  Node* dllImport();

  SyntaxTree& tree_;
  Diagnostics diag_;
  Lexer lexer_;
  bool warnSemicolon_;
  bool hasPeek_ = false;
  Token peeked_;
  int lastLine_ = 0;
  bool consumed_ = false;
  int depth_ = 0;
  int anonymousCount_ = 0;
  int argumentsCount_ = 0;
  std::vector<Text> functionNames_;
  FunctionNode* lastFunction_ = nullptr;
  std::unordered_set<std::string> structNames_;
};

} // namespace plumex::script::compiler
