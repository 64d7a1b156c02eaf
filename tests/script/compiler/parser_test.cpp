#include <gtest/gtest.h>

#include "front_end.h"

namespace plumex::script::compiler {
namespace {

using testing::parse;

// The listing of the top-level statements, without the "main:" heading.
std::string mainOf(std::string_view source, unsigned options = 0) {
  const auto r = parse(source, options);
  EXPECT_TRUE(r.ok) << source << "\n" << r.messages;
  const auto at = r.tree.find("main:\n");
  return at == std::string::npos ? "" : r.tree.substr(at + 6);
}

struct ErrorCase {
  const char* source;
  const char* message;  // the text after "error: line N: "
  int line = 0;
};

TEST(Parser, EverySyntaxErrorWithItsLine) {
  const ErrorCase cases[] = {
      // program and statements
      {")", "syntax error: invalid statement"},
      {"{ a;\n", "syntax error: missing } after block"},
      {"a:", "syntax error: invalid label"},
      {"a\n:b", "syntax error: invalid statement"},  // at the last token taken
      // before any token is taken: the line of the token the error is found at
      {"// a comment\nclass = 1;", "syntax error: invalid statement", 1},
      {"\n\n}", "syntax error: invalid statement", 2},
      {"/* two\nlines */ )", "syntax error: invalid statement", 1},
      {"\nelse x;", "syntax error: invalid statement", 1},
      {"\n\n\ncase 1:", "syntax error: invalid statement", 3},
      {"\n\n= 1", "syntax error: invalid statement", 2},
      {"function f() { return }", "syntax error: invalid return"},
      {"throw;", "syntax error: invalid throw"},
      {"a = 1 b = 2", "missing ;"},
      {"x\n\ny z", "missing ;", 2},
      {"var as = 1;", "missing ;"},
      {"a + b = c", "missing ;"},
      // functions
      {"function f(1) {}", "syntax error: illegal identifier"},
      {"function f(a,) {}", "syntax error: illegal identifier"},
      {"function f {}", "syntax error: missing ( before formal parameters"},
      {"function f(a b) {}", "syntax error: missing ) after formal parameters"},
      {"function f()\nreturn;", "syntax error: invalid function body", 0},
      // var
      {"var x = function () {};", "syntax error: invalid variable initialization"},
      {"var a, 1;", "syntax error: illegal identifier"},
      {"for (var ; ;) ;", "syntax error: missing variable name"},
      // if, while, do
      {"if x", "syntax error: missing ( before condition"},
      {"while (x ;", "syntax error: missing ) after condition"},
      {"if ()", "syntax error: invalid condition expression"},
      {"if (x) )", "syntax error: invalid statement"},
      {"if (x) ; else", "syntax error: invalid statement"},
      {"do x; until (y)", "syntax error: missing while after do-loop body"},
      {"do x; while (y) z", "missing ;"},
      // for
      {"for x", "syntax error: missing ( after for"},
      {"for (x y)", "syntax error: missing ; after for-loop initializer"},
      {"for (in o) ;", "syntax error: invalid for-loop initializer or for-in expression"},
      {"for (;x)", "syntax error: missing ; after for-loop condition"},
      {"for (;);)", "syntax error: invalid for-loop condition expression"},
      {"for (;;x;", "syntax error: missing ) after for-loop control"},
      {"for (;;;)", "syntax error: invalid for-loop control expression"},
      {"for (var i, j in o) ;", "syntax error: more than one variable declaration"},
      {"for (o.k in o) ;", "syntax error: illegal identifier"},
      {"for (k in ) ;", "syntax error: invalid expression"},
      {"for (k in o ;", "syntax error: missing ) after for-loop control"},
      {"for (;;)", "syntax error: invalid statement"},
      // with
      {"with o {}", "syntax error: missing ( before with-statement object"},
      {"with (o {}", "syntax error: missing ) after with-statement object"},
      {"with () {}", "syntax error: invalid with-statement object"},
      {"with (o) )", "syntax error: invalid with block"},
      // switch
      {"switch x {}", "syntax error: missing ( before switch expression"},
      {"switch (x {}", "syntax error: missing ) after switch expression"},
      {"switch () {}", "syntax error: invalid switch expression"},
      {"switch (x) case", "syntax error: missing { before switch body"},
      {"switch (x) { case : }", "syntax error: invalid case expression"},
      {"switch (x) { case 1 }", "syntax error: missing : after case label"},
      {"switch (x) { default }", "syntax error: missing : after case label"},
      {"switch (x) { x }", "syntax error: missing } after switch block"},
      {"switch (x) { case 1: ) }", "syntax error: invalid statement"},
      {"switch (x) {\ndefault: ;\ndefault: ;\n}", "more than one switch default", 3},
      // try
      {"try {} x", "syntax error: missing catch or finally after try"},
      {"try {} catch e {}", "syntax error: missing ( before catch"},
      {"try {} catch (1) {}", "syntax error: missing identifier in catch"},
      {"try {} catch (e {}", "syntax error: missing ) after catch"},
      {"try {} catch (e if ) {}", "syntax error: invalid statement"},
      {"try ) catch (e) {}", "syntax error: invalid statement"},
      // expressions
      {"a = ;", "syntax error: invalid expression"},
      {"a = (b;", "syntax error: invalid expression"},
      {"a = ();", "syntax error: invalid expression"},
      {"a + ;", "syntax error: invalid expression"},
      {"a, ;", "syntax error: invalid expression"},
      {"!;", "syntax error: invalid expression"},
      {"new ;", "syntax error: invalid expression"},
      {"a ? : b", "syntax error: invalid expression"},
      {"a ? b : ;", "syntax error: invalid expression"},
      {"a ? b ;", "syntax error: missing : in conditional expression"},
      {"f(a,)", "syntax error: invalid expression"},
      {"f(function () {})", "syntax error: invalid expression"},
      {"f(a b)", "syntax error: missing ) after argument list"},
      {"a[1;", "syntax error: missing ] in index expression"},
      {"a[];", "syntax error: invalid expression"},
      {"a.if", "syntax error: illegal identifier"},
      {"a.1", "missing ;"},  // a then the number .1
      {"x = [1 2]", "syntax error: missing ] after element list"},
      {"x = [function () {}]", "syntax error: missing ] after element list"},
      {"x = {a 1}", "syntax error: missing : after property id"},
      {"x = {1.5: 2}", "syntax error: invalid property id"},
      {"x = {a: 1 b: 2}", "syntax error: missing } after property list"},
      {"x = {f: function () {}}", "syntax error: invalid expression"},
      {"x += function () {}", "syntax error: invalid expression"},
      {"function f() { return function () {}; }", "syntax error: invalid return"},
      {"x = /=a/", "syntax error: invalid expression"},
      // struct
      {"struct x", "syntax error: missing { after structure"},
      {"struct { unsigned double d; } X;", "syntax error: invalid structure member"},
      {"struct { unsigned S s; } X;", "syntax error: invalid structure member"},
      {"struct { long a[0]; } X;", "syntax error: invalid structure member"},
      {"struct { long a[-1]; } X;", "syntax error: invalid structure member"},
      {"struct { long a[]; } X;", "syntax error: invalid structure member"},
      {"struct { long a[2; } X;", "syntax error: invalid structure member"},
      {"struct { Foo a; } X;", "syntax error: invalid structure member"},
      {"struct { long; } X;", "syntax error: invalid structure member"},
      {"struct { struct long a; } X;", "syntax error: invalid structure member"},
      {"struct { long a;", "syntax error: invalid structure member"},
      {"struct { long a; };", "syntax error: structure must have a name"},
      {"struct { float f; } S;\nstruct { float f; } S;", "syntax error: structure redefined", 1},
      {"struct { long a; char a; } S;", "syntax error: structure member redefined"},
      // dllimport
      {"dllimport 1 stdcall void f();", "syntax error: invalid dll name"},
      {"dllimport \"k.dll\" thiscall void f();",
       "syntax error: invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall"},
      {"dllimport k stdcall unsigned float f();", "syntax error: invalid return type"},
      {"dllimport k stdcall void 1();", "syntax error: invalid function name"},
      {"dllimport k stdcall void f;", "syntax error: missing ( after function name"},
      {"dllimport k stdcall void f(void);", "syntax error: invalid argument type"},
      {"dllimport k stdcall void f(long,);", "syntax error: invalid argument type"},
      {"dllimport k stdcall void f() as 1;", "syntax error: invalid alias name of the imported function"},
      {"dllimport k stdcall void f(long a b);", "syntax error: missing , after argument"},
  };
  for (const ErrorCase& c : cases) {
    const auto r = parse(c.source);
    EXPECT_FALSE(r.ok) << c.source;
    EXPECT_EQ(r.messages, "error: line " + std::to_string(c.line) + ": " + c.message + "\n") << c.source;
  }
}

struct TreeCase {
  const char* source;
  const char* tree;
};

TEST(Parser, StatementsEndAtLineBreaks) {
  const TreeCase cases[] = {
      {"a = 1\nb = 2",
       "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr a @0\n      IntExpr 1 :int @0\n"
       "  ExprStmt @1\n    AssignExpr = @1\n      NameExpr b @1\n      IntExpr 2 :int @1\n"},
      {"function f() {\nreturn\nx\n}", ""},
      {"i\n++\nj",
       "  ExprStmt @0\n    NameExpr i @0\n  ExprStmt @2\n    UnaryExpr ++ @2\n      NameExpr j @2\n"},
      {"i++", "  ExprStmt @0\n    PostfixExpr ++ @0\n      NameExpr i @0\n"},
      {"return;", "  ReturnStmt @0\n"},
      {"return\n", "  ReturnStmt @0\n"},
      {"break\nx", "  BreakStmt @0\n  ExprStmt @1\n    NameExpr x @1\n"},
      {"continue x", "  ContinueStmt x @0\n"},
      {"var;", "  VarStmt top-level count=0 @0\n"},
  };
  for (const TreeCase& c : cases) EXPECT_EQ(mainOf(c.source), c.tree) << c.source;

  // The return inside f took no value; x is a statement of its own.
  const auto r = parse("function f() {\nreturn\nx\n}");
  EXPECT_NE(r.tree.find("      ReturnStmt @1\n      ExprStmt @2\n        NameExpr x @2\n"), std::string::npos)
      << r.tree;
}

TEST(Parser, InsertedSemicolonsAreCountedAndWarnedWhenAsked) {
  auto in = ScriptStream::openText("a = 1\nb = 2\n{ c }\nreturn\ni\n++j");
  auto messages = ScriptStream::openMemory();
  auto tree = parseProgram(*in, *messages, 0);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->insertedSemicolons, 6);
  EXPECT_EQ(messages->memory(), "");

  const auto warned = parse("a = 1\n{ c }\nreturn\ni\n++j", kOptionWarnSemicolon);
  EXPECT_TRUE(warned.ok);
  EXPECT_EQ(warned.messages,
            "warning: line 0: missing ;\nwarning: line 1: missing ;\nwarning: line 2: missing ;\n"
            "warning: line 3: missing ;\nwarning: line 3: missing ;\nwarning: line 4: missing ;\n");
}

TEST(Parser, Expressions) {
  const TreeCase cases[] = {
      // left-associative levels, right-associative assignment
      {"a - b - c",
       "  ExprStmt @0\n    AddExpr - @0\n      AddExpr - @0\n        NameExpr a @0\n        NameExpr b @0\n"
       "      NameExpr c @0\n"},
      {"a = b += c",
       "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr a @0\n      AssignExpr += @0\n        NameExpr b @0\n"
       "        NameExpr c @0\n"},
      {"a || b && c | d ^ e & f == g < h << i + j * k",
       "  ExprStmt @0\n    LogicalExpr || @0\n      NameExpr a @0\n      LogicalExpr && @0\n        NameExpr b @0\n"
       "        BitwiseExpr | @0\n          NameExpr c @0\n          BitwiseExpr ^ @0\n            NameExpr d @0\n"
       "            BitwiseExpr & @0\n              NameExpr e @0\n              EqualityExpr == :bool @0\n"
       "                NameExpr f @0\n                RelationalExpr < :bool @0\n                  NameExpr g @0\n"
       "                  ShiftExpr << @0\n                    NameExpr h @0\n                    AddExpr + @0\n"
       "                      NameExpr i @0\n                      MulExpr * @0\n                        NameExpr j @0\n"
       "                        NameExpr k @0\n"},
      // static kinds of logical expressions follow their operands
      {"(a < b) && true", "  ExprStmt @0\n    LogicalExpr && :bool @0\n      RelationalExpr < :bool @0\n"
                          "        NameExpr a @0\n        NameExpr b @0\n      TrueExpr :bool @0\n"},
      {"a && true", "  ExprStmt @0\n    LogicalExpr && @0\n      NameExpr a @0\n      TrueExpr :bool @0\n"},
      {"c ? a = 1 : b",
       "  ExprStmt @0\n    CondExpr @0\n      test: NameExpr c @0\n      then: AssignExpr = @0\n"
       "        NameExpr a @0\n        IntExpr 1 :int @0\n      else: NameExpr b @0\n"},
      {"a, b", "  ExprStmt @0\n    CommaExpr @0\n      NameExpr a @0\n      NameExpr b @0\n"},
      {"typeof -~!x", "  ExprStmt @0\n    UnaryExpr typeof @0\n      UnaryExpr - @0\n        UnaryExpr ~ @0\n"
                      "          UnaryExpr ! @0\n            NameExpr x @0\n"},
      {"delete a.b[c](d).e",
       "  ExprStmt @0\n    UnaryExpr delete @0\n      MemberExpr .e @0\n        CallExpr args=1 @0\n"
       "          callee: IndexExpr @0\n            object: MemberExpr .b @0\n              NameExpr a @0\n"
       "            index: NameExpr c @0\n          arg: NameExpr d @0\n"},
      {"new new A.B(1)(2)",
       "  ExprStmt @0\n    NewExpr args=1 @0\n      constructor: NewExpr args=1 @0\n"
       "        constructor: MemberExpr .B @0\n          NameExpr A @0\n        arg: IntExpr 1 :int @0\n"
       "      arg: IntExpr 2 :int @0\n"},
      {"new A", "  ExprStmt @0\n    NewExpr args=0 @0\n      constructor: NameExpr A @0\n"},
      {"new A()(1)", "  ExprStmt @0\n    CallExpr args=1 @0\n      callee: NewExpr args=0 @0\n"
                     "        constructor: NameExpr A @0\n      arg: IntExpr 1 :int @0\n"},
      // literals
      {"x = [1,,2]", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ArrayExpr count=3 :array @0\n"
                     "        IntExpr 1 :int @0\n        Hole @0\n        IntExpr 2 :int @0\n"},
      {"x = [1,]", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ArrayExpr count=2 :array @0\n"
                   "        IntExpr 1 :int @0\n        Hole @0\n"},
      {"x = [,]", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ArrayExpr count=2 :array @0\n"
                  "        Hole @0\n        Hole @0\n"},
      {"x = []", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ArrayExpr count=0 :array @0\n"},
      {"x = {a:1, \"b\":2, 3:4,}",
       "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ObjectExpr count=3 :object @0\n"
       "        Property a @0\n          IntExpr 1 :int @0\n        Property \"b\" @0\n          IntExpr 2 :int @0\n"
       "        Property 3 @0\n          IntExpr 4 :int @0\n"},
      {"x = {}", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      ObjectExpr count=0 :object @0\n"},
      {"x = null; this; undefined; 1.5; 'a'; false",
       "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      NullExpr :null @0\n"
       "  ExprStmt @0\n    ThisExpr @0\n  ExprStmt @0\n    UndefinedExpr @0\n  ExprStmt @0\n    FloatExpr 1.5 :float @0\n"
       "  ExprStmt @0\n    StringExpr \"a\" :string @0\n  ExprStmt @0\n    FalseExpr :bool @0\n"},
      {"x = a / b / c", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      MulExpr / @0\n"
                        "        MulExpr / @0\n          NameExpr a @0\n          NameExpr b @0\n        NameExpr c @0\n"},
      {"x = /a\\/b/gi.source", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr x @0\n      MemberExpr .source @0\n"
                               "        RegExpExpr pattern=\"a\\\\/b\" flags=3 :regexp @0\n"},
      // assignment targets: literals and calls take it, other forms end the expression
      {"1 = 2; f() = 3; [a] = 4",
       "  ExprStmt @0\n    AssignExpr = @0\n      IntExpr 1 :int @0\n      IntExpr 2 :int @0\n"
       "  ExprStmt @0\n    AssignExpr = @0\n      CallExpr args=0 @0\n        callee: NameExpr f @0\n      IntExpr 3 :int @0\n"
       "  ExprStmt @0\n    AssignExpr = @0\n      ArrayExpr count=1 :array @0\n        NameExpr a @0\n"
       "      IntExpr 4 :int @0\n"},
      {"(a) = 1", "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr a @0\n      IntExpr 1 :int @0\n"},
  };
  for (const TreeCase& c : cases) EXPECT_EQ(mainOf(c.source), c.tree) << c.source;
  EXPECT_EQ(parse("{a:1} = 2").messages, "error: line 0: syntax error: invalid statement\n");
  EXPECT_EQ(parse("x = {a:1} = 2").messages, "error: line 0: missing ;\n");
  EXPECT_EQ(parse("x = !a = 2").messages, "error: line 0: missing ;\n");
}

TEST(Parser, ReverseListsAndCounts) {
  auto in = ScriptStream::openText("f(1, 2, 3); x = [4, , 5]; y = {a: 6, b: 7};");
  auto messages = ScriptStream::openMemory();
  auto tree = parseProgram(*in, *messages, 0);
  ASSERT_TRUE(tree);
  const auto& call = tree->main->as<UnaryNode>().operand->as<CallNode>();
  EXPECT_EQ(call.count, 3);
  std::vector<std::int64_t> args;
  for (const Node* a = call.args; a; a = a->next) args.push_back(a->as<IntNode>().value);
  EXPECT_EQ(args, (std::vector<std::int64_t>{3, 2, 1}));

  const auto& array = tree->main->next->as<UnaryNode>().operand->as<BinaryNode>().right->as<ListNode>();
  ASSERT_EQ(array.count, 3);
  EXPECT_EQ(array.items->as<IntNode>().value, 5);
  EXPECT_EQ(array.items->next->kind, NodeKind::EmptyStmt);
  EXPECT_EQ(array.items->next->next->as<IntNode>().value, 4);

  const auto& object = tree->main->next->next->as<UnaryNode>().operand->as<BinaryNode>().right->as<ListNode>();
  ASSERT_EQ(object.count, 2);
  EXPECT_EQ(object.items->as<PropertyNode>().textKey.view(), "b");
  EXPECT_EQ(object.items->as<PropertyNode>().keyKind, tok::Identifier);
  EXPECT_EQ(object.items->next->as<PropertyNode>().textKey.view(), "a");
  EXPECT_EQ(object.items->next->next, nullptr);
}

TEST(Parser, Statements) {
  const TreeCase cases[] = {
      {"a: while (x) { }",
       "  LabelledStmt a @0\n    WhileStmt @0\n      test: NameExpr x @0\n      body: EmptyStmt @0\n"},
      {"for (var i in o) ;", "  ForInStmt @0\n    VarDeclarator i @0\n    object: NameExpr o @0\n    body: EmptyStmt @0\n"},
      {"for (k in o) ;", "  ForInStmt @0\n    target: NameExpr k @0\n    object: NameExpr o @0\n    body: EmptyStmt @0\n"},
      {"for (var i = 0, j; ; ) ;",
       "  ForStmt vars=2 @0\n    VarDeclarator i @0\n      init: IntExpr 0 :int @0\n    VarDeclarator j @0\n"
       "    body: EmptyStmt @0\n"},
      {"for (i = 0; i; i--) x",
       "  ForStmt @0\n    init: AssignExpr = @0\n      NameExpr i @0\n      IntExpr 0 :int @0\n    test: NameExpr i @0\n"
       "    update: PostfixExpr -- @0\n      NameExpr i @0\n    body: ExprStmt @0\n      NameExpr x @0\n"},
      {"do x; while (y)", "  DoWhileStmt @0\n    test: NameExpr y @0\n    body: ExprStmt @0\n      NameExpr x @0\n"},
      {"with (o) f()", "  WithStmt @0\n    object: NameExpr o @0\n    body: ExprStmt @0\n"
                       "      CallExpr args=0 @0\n        callee: NameExpr f @0\n"},
      {"if (a) b; else if (c) d",
       "  IfStmt @0\n    test: NameExpr a @0\n    then: ExprStmt @0\n      NameExpr b @0\n    else: IfStmt @0\n"
       "      test: NameExpr c @0\n      then: ExprStmt @0\n        NameExpr d @0\n"},
      {"try { } catch (e if e == 1) { } catch (e) { } finally { }",
       "  TryStmt after-body=0 end=0 @0\n    body: EmptyStmt @0\n    CatchClause e @0\n      if: EqualityExpr == :bool @0\n"
       "        NameExpr e @0\n        IntExpr 1 :int @0\n      body: EmptyStmt @0\n    CatchClause e @0\n"
       "      body: EmptyStmt @0\n    finally: EmptyStmt @0\n"},
      {"try\nx\nfinally\ny", "  TryStmt after-body=2 end=3 @3\n    body: ExprStmt @1\n      NameExpr x @1\n"
                             "    finally: ExprStmt @3\n      NameExpr y @3\n"},
      {"switch (x) {\ncase 1: case 2: a;\ndefault: b; c\n}",
       "  SwitchStmt close=3 @3\n    discriminant: NameExpr x @0\n    CaseClause end=1 @1\n      test: IntExpr 1 :int @1\n"
       "    CaseClause end=1 @1\n      test: IntExpr 2 :int @1\n      ExprStmt @1\n        NameExpr a @1\n"
       "    DefaultClause end=2 @2\n      ExprStmt @2\n        NameExpr b @2\n      ExprStmt @2\n        NameExpr c @2\n"},
      {"{ var a = 1; { } }", "  BlockStmt @0\n    VarStmt count=1 @0\n      VarDeclarator a @0\n"
                             "        init: IntExpr 1 :int @0\n    EmptyStmt @0\n"},
      {";", "  EmptyStmt @0\n"},
  };
  for (const TreeCase& c : cases) EXPECT_EQ(mainOf(c.source), c.tree) << c.source;
}

TEST(Parser, FunctionsAndTheirInternalNames) {
  const auto r = parse(
      "x = function () { return 1; };\n"
      "y = new function () { this.a = arguments; };\n"
      "function f(a, b) {\n"
      "  g();\n"
      "  function g() { return arguments; }\n"
      "  h = function k() {};\n"
      "}\n"
      "{ function top() {} }\n");
  ASSERT_TRUE(r.ok) << r.messages;
  EXPECT_EQ(r.tree,
            "functions:\n"
            "  FunctionDecl @F_0 internal=@F_0 params=() brace=0 @0\n"
            "    body: BlockStmt @0\n"
            "      ReturnStmt @0\n"
            "        IntExpr 1 :int @0\n"
            "  FunctionDecl @F_1 internal=@F_1 params=() brace=1 uses-arguments @1\n"
            "    body: BlockStmt @1\n"
            "      ExprStmt @1\n"
            "        AssignExpr = @1\n"
            "          MemberExpr .a @1\n"
            "            ThisExpr @1\n"
            "          NameExpr arguments @1\n"
            "  FunctionDecl g internal=@F_2 params=() brace=4 uses-arguments @4\n"
            "    body: BlockStmt @4\n"
            "      ReturnStmt @4\n"
            "        NameExpr arguments @4\n"
            "  FunctionDecl k internal=@F_3 params=() brace=5 @5\n"
            "    body: EmptyStmt @5\n"
            "  FunctionDecl f internal=f params=(a, b) brace=2 uses-arguments @6\n"
            "    body: BlockStmt @6\n"
            "      ExprStmt @3\n"
            "        CallExpr args=0 @3\n"
            "          callee: NameExpr g @3\n"
            "      NestedFunctionStmt g internal=@F_2 in=f @4\n"
            "      ExprStmt @5\n"
            "        AssignExpr = @5\n"
            "          NameExpr h @5\n"
            "          NameExpr @F_3 @5\n"
            "  FunctionDecl top internal=top params=() brace=7 @7\n"
            "    body: EmptyStmt @7\n"
            "main:\n"
            "  ExprStmt @0\n"
            "    AssignExpr = @0\n"
            "      NameExpr x @0\n"
            "      NameExpr @F_0 @0\n"
            "  ExprStmt @1\n"
            "    AssignExpr = @1\n"
            "      NameExpr y @1\n"
            "      NewExpr args=0 @1\n"
            "        constructor: NameExpr @F_1 @1\n"
            "  BlockStmt @7\n"
            "    EmptyStmt @7\n");
}

TEST(Parser, StructDeclarationsBecomeDescriptionTexts) {
  const TreeCase cases[] = {
      {"struct { unsigned long a; char b[8]; } P;",
       R"(<P type="struct"><a type="unsigned long"></a><b type="char" count="8"></b></P>)"},
      {"struct { char a; } S; struct { S s[2]; long n } T;",
       R"(<T type="struct"><s type="S" count="2"></s><n type="long"></n></T>)"},
      {"struct { struct { int64 x; unsigned char* p } *inner[3]; double d; String s; Boolean b; pointer q; "
       "float f; unsigned short u; unsigned int i; unsigned int64 w } N",
       R"(<N type="struct"><inner type="struct*" count="3"><x type="int64"></x><p type="unsigned char*"></p></inner>)"
       R"(<d type="double"></d><s type="String"></s><b type="Boolean"></b><q type="pointer"></q><f type="float"></f>)"
       R"(<u type="unsigned short"></u><i type="unsigned int"></i><w type="unsigned int64"></w></N>)"},
      {"struct { struct { long a; } x; struct { long a; } y; } D;",
       R"(<D type="struct"><x type="struct"><a type="long"></a></x><y type="struct"><a type="long"></a></y></D>)"},
  };
  for (const TreeCase& c : cases) {
    auto in = ScriptStream::openText(c.source);
    auto messages = ScriptStream::openMemory();
    auto tree = parseProgram(*in, *messages, 0);
    ASSERT_TRUE(tree) << c.source << messages->memory();
    const Node* last = tree->main;
    while (last->next) last = last->next;
    ASSERT_EQ(last->kind, NodeKind::ExprStmt);
    const auto& assign = last->as<UnaryNode>().operand->as<BinaryNode>();
    EXPECT_EQ(assign.kind, NodeKind::AssignExpr);
    EXPECT_EQ(assign.op, '=');
    EXPECT_EQ(assign.right->as<TextNode>().text.view(), c.tree) << c.source;
    EXPECT_EQ(assign.right->staticKind, kStaticString);
  }
}

TEST(Parser, DllImports) {
  const TreeCase cases[] = {
      {"dllimport user32 stdcall long MessageBoxA(long, String text, String, long) as msgBox;",
       "  DllImportStmt stdcall long MessageBoxA(long, String, String, long) as msgBox @0\n"
       "    library: NameExpr user32 @0\n"},
      {"struct { long a; } R; dllimport \"k.dll\" cdecl unsigned char* f(R* r, unsigned int64) dllimport k pascal void g()",
       "  ExprStmt @0\n    AssignExpr = @0\n      NameExpr R @0\n"
       "      StringExpr \"<R type=\\\"struct\\\"><a type=\\\"long\\\"></a></R>\" :string @0\n"
       "  DllImportStmt cdecl unsigned char* f(R*, unsigned int64) @0\n"
       "    library: StringExpr \"k.dll\" :string @0\n"
       "  DllImportStmt pascal void g() @0\n    library: NameExpr k @0\n"},
      {"dllimport k fastcall double f(double)", "  DllImportStmt fastcall double f(double) @0\n    library: NameExpr k @0\n"},
  };
  for (const TreeCase& c : cases) EXPECT_EQ(mainOf(c.source), c.tree) << c.source;

  auto in = ScriptStream::openText("dllimport k stdcall void f(char, short, long);");
  auto messages = ScriptStream::openMemory();
  auto tree = parseProgram(*in, *messages, 0);
  ASSERT_TRUE(tree);
  const auto& d = tree->main->as<DllImportNode>();
  EXPECT_EQ(d.paramCount, 3);
  EXPECT_EQ(d.paramTypes->as<TextNode>().text.view(), "long");  // the last written first
  EXPECT_FALSE(d.alias);
}

TEST(Parser, LexicalErrorsStopTheParse) {
  EXPECT_EQ(parse("x = 'abc").messages, "error: line 0: unterminated string constant\n");
  const auto r = parse("x = '\\q'");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.messages, "warning: line 0: unknown escape sequence '\\q'\n");
  EXPECT_EQ(parse("x = /abc").messages, "error: line 0: unterminated regular expression constant\n");
}

} // namespace
} // namespace plumex::script::compiler
