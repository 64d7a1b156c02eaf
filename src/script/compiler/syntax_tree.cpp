#include "script/compiler/syntax_tree.h"

namespace plumex::script::compiler {

const char* nodeKindName(NodeKind kind) {
  switch (kind) {
    case NodeKind::CommaExpr: return "CommaExpr";
    case NodeKind::AssignExpr: return "AssignExpr";
    case NodeKind::CondExpr: return "CondExpr";
    case NodeKind::LogicalExpr: return "LogicalExpr";
    case NodeKind::BitwiseExpr: return "BitwiseExpr";
    case NodeKind::EqualityExpr: return "EqualityExpr";
    case NodeKind::RelationalExpr: return "RelationalExpr";
    case NodeKind::ShiftExpr: return "ShiftExpr";
    case NodeKind::MulExpr: return "MulExpr";
    case NodeKind::AddExpr: return "AddExpr";
    case NodeKind::ThisExpr: return "ThisExpr";
    case NodeKind::NullExpr: return "NullExpr";
    case NodeKind::TrueExpr: return "TrueExpr";
    case NodeKind::FalseExpr: return "FalseExpr";
    case NodeKind::NameExpr: return "NameExpr";
    case NodeKind::FloatExpr: return "FloatExpr";
    case NodeKind::IntExpr: return "IntExpr";
    case NodeKind::StringExpr: return "StringExpr";
    case NodeKind::CallExpr: return "CallExpr";
    case NodeKind::MemberExpr: return "MemberExpr";
    case NodeKind::IndexExpr: return "IndexExpr";
    case NodeKind::NewExpr: return "NewExpr";
    case NodeKind::PostfixExpr: return "PostfixExpr";
    case NodeKind::UnaryExpr: return "UnaryExpr";
    case NodeKind::RegExpExpr: return "RegExpExpr";
    case NodeKind::ArrayExpr: return "ArrayExpr";
    case NodeKind::ObjectExpr: return "ObjectExpr";
    case NodeKind::BlockStmt: return "BlockStmt";
    case NodeKind::NestedFunctionStmt: return "NestedFunctionStmt";
    case NodeKind::VarStmt: return "VarStmt";
    case NodeKind::EmptyStmt: return "EmptyStmt";
    case NodeKind::ExprStmt: return "ExprStmt";
    case NodeKind::IfStmt: return "IfStmt";
    case NodeKind::WhileStmt: return "WhileStmt";
    case NodeKind::ForStmt: return "ForStmt";
    case NodeKind::ForInStmt: return "ForInStmt";
    case NodeKind::ContinueStmt: return "ContinueStmt";
    case NodeKind::BreakStmt: return "BreakStmt";
    case NodeKind::ReturnStmt: return "ReturnStmt";
    case NodeKind::WithStmt: return "WithStmt";
    case NodeKind::TryStmt: return "TryStmt";
    case NodeKind::ThrowStmt: return "ThrowStmt";
    case NodeKind::DoWhileStmt: return "DoWhileStmt";
    case NodeKind::SwitchStmt: return "SwitchStmt";
    case NodeKind::LabelledStmt: return "LabelledStmt";
    case NodeKind::FunctionDecl: return "FunctionDecl";
    case NodeKind::UndefinedExpr: return "UndefinedExpr";
    case NodeKind::DllImportStmt: return "DllImportStmt";
    case NodeKind::VarDeclarator: return "VarDeclarator";
  }
  return "?";
}

} // namespace plumex::script::compiler
