#pragma once
// The syntax tree of one compilation. Every node starts with the common
// header (kind, static kind, line, next); the kind says which of the node
// structures below it is. Nodes live in the compilation's arena.
//
// Lists are linked through `next`. Statement lists, declarators, case and
// catch clauses and formal parameters run in source order. Call and `new`
// arguments, array elements, object properties and dllimport parameter
// types run in reverse: the list's handle is the last item written, and
// each item links to the one written before it.

#include <cstdint>

#include "script/compiler/arena.h"
#include "script/compiler/lexer.h"

namespace plumex::script::compiler {

enum class NodeKind : int {
  CommaExpr = 0,
  AssignExpr = 1,
  CondExpr = 2,
  LogicalExpr = 3,
  BitwiseExpr = 4,
  EqualityExpr = 5,
  RelationalExpr = 6,
  ShiftExpr = 7,
  MulExpr = 8,
  AddExpr = 9,
  ThisExpr = 10,
  NullExpr = 11,
  TrueExpr = 12,
  FalseExpr = 13,
  NameExpr = 14,
  FloatExpr = 15,
  IntExpr = 16,
  StringExpr = 17,
  CallExpr = 18,
  MemberExpr = 19,
  IndexExpr = 20,
  NewExpr = 21,
  PostfixExpr = 26,
  UnaryExpr = 27,
  RegExpExpr = 28,
  ArrayExpr = 29,
  ObjectExpr = 30,
  BlockStmt = 31,
  NestedFunctionStmt = 32,
  VarStmt = 33,
  // Also the kind of array holes, object properties, case clauses and
  // catch clauses, which only occur in their own lists.
  EmptyStmt = 34,
  ExprStmt = 35,
  IfStmt = 36,
  WhileStmt = 37,
  ForStmt = 38,
  ForInStmt = 39,
  ContinueStmt = 40,
  BreakStmt = 41,
  ReturnStmt = 42,
  WithStmt = 43,
  TryStmt = 44,
  ThrowStmt = 45,
  DoWhileStmt = 46,
  SwitchStmt = 47,
  LabelledStmt = 48,
  FunctionDecl = 49,
  UndefinedExpr = 50,
  DllImportStmt = 52,
  VarDeclarator = 254,
};

// The value kind a node is known to produce, numbered as value kinds are.
enum StaticKind : std::uint8_t {
  kStaticUnknown = 0,
  kStaticNull = 1,
  kStaticBoolean = 2,
  kStaticInteger = 3,
  kStaticString = 4,
  kStaticFloat = 5,
  kStaticArray = 6,
  kStaticObject = 7,
  kStaticRegExp = 11,
};

struct Node {
  NodeKind kind;
  std::uint8_t staticKind;
  int line;
  Node* next;

  template <class T>
  T& as() { return static_cast<T&>(*this); }
  template <class T>
  const T& as() const { return static_cast<const T&>(*this); }
};

// CommaExpr (op ','), AssignExpr, LogicalExpr, BitwiseExpr, EqualityExpr,
// RelationalExpr, ShiftExpr, MulExpr, AddExpr: op is the operator's token
// kind. IndexExpr: left is the object, right the index (op '[').
struct BinaryNode : Node {
  int op;
  Node* left;
  Node* right;
};

// CondExpr and IfStmt (alternate null when there is no else).
struct ConditionalNode : Node {
  Node* test;
  Node* consequent;
  Node* alternate;
};

// NameExpr, StringExpr; ContinueStmt and BreakStmt (text null without a
// label).
struct TextNode : Node {
  Text text;
};

struct IntNode : Node {
  std::int64_t value;
};

struct FloatNode : Node {
  double value;
};

// CallExpr and NewExpr. For a `new` without parentheses args is null.
struct CallNode : Node {
  int count;
  Node* callee;
  Node* args;  // reverse order
};

struct MemberNode : Node {
  Text name;
  Node* object;
};

// UnaryExpr and PostfixExpr (op is the operator's token kind); ExprStmt,
// ReturnStmt (operand null without a value) and ThrowStmt.
struct UnaryNode : Node {
  int op;
  Node* operand;
};

struct RegExpNode : Node {
  RegExpLiteral regexp;
};

// ArrayExpr and ObjectExpr (items in reverse order; holes are EmptyStmt
// nodes, properties PropertyNode), and BlockStmt (statements in order).
struct ListNode : Node {
  int count;
  Node* items;
};

// An object literal's property: keyKind is tok::Integer, tok::String or
// tok::Identifier.
struct PropertyNode : Node {
  int keyKind;
  std::int64_t intKey;
  Text textKey;
  Node* value;
};

struct NestedFunctionNode : Node {
  Text enclosing;
  Text internalName;
  Text sourceName;
};

struct VarNode : Node {
  bool topLevel;
  int count;
  Node* declarators;
};

struct DeclaratorNode : Node {
  Text name;
  Node* init;
};

// WhileStmt, DoWhileStmt; WithStmt (test is the object); LabelledStmt
// uses LabelNode.
struct LoopNode : Node {
  Node* test;
  Node* body;
};

struct ForNode : Node {
  Node* declarators;  // null without var
  int count;
  Node* init;
  Node* test;
  Node* update;
  Node* body;
};

struct ForInNode : Node {
  Node* declarator;  // with var
  Node* target;      // without var: a NameExpr
  Node* object;
  Node* body;
};

struct TryNode : Node {
  int afterBodyLine;  // line of the first token after the try body
  int endLine;
  Node* body;
  Node* catches;  // CatchNode list
  Node* finally;
};

struct CatchNode : Node {
  Text name;
  Node* condition;
  Node* body;
};

struct SwitchNode : Node {
  int closeLine;
  Node* discriminant;
  Node* clauses;  // CaseNode list
};

// test is null for `default`.
struct CaseNode : Node {
  Node* test;
  Node* body;
  int endLine;
};

struct LabelNode : Node {
  Text label;
  Node* body;
};

struct FunctionNode : Node {
  int braceLine;
  bool usesArguments;
  Text internalName;
  Text sourceName;
  Node* params;  // NameExpr nodes in order
  Node* body;    // BlockStmt or EmptyStmt
};

struct DllImportNode : Node {
  Node* library;  // NameExpr or StringExpr
  Text function;
  Text alias;     // null without `as`
  Text callType;
  Node* returnType;  // StringExpr
  int paramCount;
  Node* paramTypes;  // StringExpr nodes, reverse order
};

// The name of a node kind ("CallExpr"); the kind number for unknown ones.
const char* nodeKindName(NodeKind kind);

// The finished tree of a compilation.
struct SyntaxTree {
  Arena arena;
  // Every function declaration, in the order their parsing finished (inner
  // functions before the function that contains them), linked by next.
  FunctionNode* functions = nullptr;
  // The top-level statements in order.
  Node* main = nullptr;
  int insertedSemicolons = 0;
};

} // namespace plumex::script::compiler
