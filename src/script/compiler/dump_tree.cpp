#include <charconv>
#include <vector>

#include "script/compiler/dump.h"

namespace plumex::script::compiler {
namespace {

const char* staticKindName(std::uint8_t k) {
  switch (k) {
    case kStaticNull: return "null";
    case kStaticBoolean: return "bool";
    case kStaticInteger: return "int";
    case kStaticString: return "string";
    case kStaticFloat: return "float";
    case kStaticArray: return "array";
    case kStaticObject: return "object";
    case kStaticRegExp: return "regexp";
    default: return nullptr;
  }
}

// The operator as written: "+", "typeof", ">>>=".
std::string operatorText(int op) {
  std::string name = tokenKindName(op);
  if (name.size() >= 2 && name.front() == '\'') return name.substr(1, name.size() - 2);
  return name;
}

std::string number(double d) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

class TreeWriter {
public:
  std::string out;

  void node(const Node* n, int depth, const char* role = nullptr) {
    if (!n) return;
    start(depth, role);
    out += nodeKindName(n->kind);
    switch (n->kind) {
      case NodeKind::CommaExpr:
      case NodeKind::AssignExpr:
      case NodeKind::LogicalExpr:
      case NodeKind::BitwiseExpr:
      case NodeKind::EqualityExpr:
      case NodeKind::RelationalExpr:
      case NodeKind::ShiftExpr:
      case NodeKind::MulExpr:
      case NodeKind::AddExpr: {
        const auto& b = n->as<BinaryNode>();
        if (n->kind != NodeKind::CommaExpr) word(operatorText(b.op));
        end(n);
        node(b.left, depth + 1);
        node(b.right, depth + 1);
        break;
      }
      case NodeKind::IndexExpr: {
        const auto& b = n->as<BinaryNode>();
        end(n);
        node(b.left, depth + 1, "object");
        node(b.right, depth + 1, "index");
        break;
      }
      case NodeKind::CondExpr:
      case NodeKind::IfStmt: {
        const auto& c = n->as<ConditionalNode>();
        end(n);
        node(c.test, depth + 1, "test");
        node(c.consequent, depth + 1, "then");
        node(c.alternate, depth + 1, "else");
        break;
      }
      case NodeKind::NameExpr:
        word(n->as<TextNode>().text.view());
        end(n);
        break;
      case NodeKind::StringExpr:
        word(quoteText(n->as<TextNode>().text.view()));
        end(n);
        break;
      case NodeKind::ContinueStmt:
      case NodeKind::BreakStmt:
        if (n->as<TextNode>().text) word(n->as<TextNode>().text.view());
        end(n);
        break;
      case NodeKind::IntExpr:
        word(std::to_string(n->as<IntNode>().value));
        end(n);
        break;
      case NodeKind::FloatExpr:
        word(number(n->as<FloatNode>().value));
        end(n);
        break;
      case NodeKind::CallExpr:
      case NodeKind::NewExpr: {
        const auto& c = n->as<CallNode>();
        word("args=" + std::to_string(c.count));
        end(n);
        node(c.callee, depth + 1, n->kind == NodeKind::NewExpr ? "constructor" : "callee");
        reversed(c.args, depth + 1, "arg");
        break;
      }
      case NodeKind::MemberExpr: {
        const auto& m = n->as<MemberNode>();
        word("." + std::string(m.name.view()));
        end(n);
        node(m.object, depth + 1);
        break;
      }
      case NodeKind::UnaryExpr:
      case NodeKind::PostfixExpr: {
        const auto& u = n->as<UnaryNode>();
        word(operatorText(u.op));
        end(n);
        node(u.operand, depth + 1);
        break;
      }
      case NodeKind::ExprStmt:
      case NodeKind::ReturnStmt:
      case NodeKind::ThrowStmt:
        end(n);
        node(n->as<UnaryNode>().operand, depth + 1);
        break;
      case NodeKind::RegExpExpr: {
        const auto& r = n->as<RegExpNode>().regexp;
        word("pattern=" + quoteText(r.pattern.view()));
        word("flags=" + std::to_string(r.flags));
        end(n);
        break;
      }
      case NodeKind::ArrayExpr:
      case NodeKind::ObjectExpr: {
        const auto& l = n->as<ListNode>();
        word("count=" + std::to_string(l.count));
        end(n);
        reversed(l.items, depth + 1, nullptr, n->kind);
        break;
      }
      case NodeKind::BlockStmt:
        end(n);
        list(n->as<ListNode>().items, depth + 1);
        break;
      case NodeKind::NestedFunctionStmt: {
        const auto& f = n->as<NestedFunctionNode>();
        word(f.sourceName.view());
        word("internal=" + std::string(f.internalName.view()));
        word("in=" + std::string(f.enclosing.view()));
        end(n);
        break;
      }
      case NodeKind::VarStmt: {
        const auto& v = n->as<VarNode>();
        if (v.topLevel) word("top-level");
        word("count=" + std::to_string(v.count));
        end(n);
        list(v.declarators, depth + 1);
        break;
      }
      case NodeKind::VarDeclarator: {
        const auto& d = n->as<DeclaratorNode>();
        word(d.name.view());
        end(n);
        node(d.init, depth + 1, "init");
        break;
      }
      case NodeKind::WhileStmt:
      case NodeKind::DoWhileStmt:
      case NodeKind::WithStmt: {
        const auto& l = n->as<LoopNode>();
        end(n);
        node(l.test, depth + 1, n->kind == NodeKind::WithStmt ? "object" : "test");
        node(l.body, depth + 1, "body");
        break;
      }
      case NodeKind::ForStmt: {
        const auto& f = n->as<ForNode>();
        if (f.declarators) word("vars=" + std::to_string(f.count));
        end(n);
        list(f.declarators, depth + 1);
        node(f.init, depth + 1, "init");
        node(f.test, depth + 1, "test");
        node(f.update, depth + 1, "update");
        node(f.body, depth + 1, "body");
        break;
      }
      case NodeKind::ForInStmt: {
        const auto& f = n->as<ForInNode>();
        end(n);
        node(f.declarator, depth + 1);
        node(f.target, depth + 1, "target");
        node(f.object, depth + 1, "object");
        node(f.body, depth + 1, "body");
        break;
      }
      case NodeKind::TryStmt: {
        const auto& t = n->as<TryNode>();
        word("after-body=" + std::to_string(t.afterBodyLine));
        word("end=" + std::to_string(t.endLine));
        end(n);
        node(t.body, depth + 1, "body");
        for (const Node* c = t.catches; c; c = c->next) catchClause(c->as<CatchNode>(), depth + 1);
        node(t.finally, depth + 1, "finally");
        break;
      }
      case NodeKind::SwitchStmt: {
        const auto& s = n->as<SwitchNode>();
        word("close=" + std::to_string(s.closeLine));
        end(n);
        node(s.discriminant, depth + 1, "discriminant");
        for (const Node* c = s.clauses; c; c = c->next) caseClause(c->as<CaseNode>(), depth + 1);
        break;
      }
      case NodeKind::LabelledStmt: {
        const auto& l = n->as<LabelNode>();
        word(l.label.view());
        end(n);
        node(l.body, depth + 1);
        break;
      }
      case NodeKind::FunctionDecl: {
        const auto& f = n->as<FunctionNode>();
        word(f.sourceName.view());
        word("internal=" + std::string(f.internalName.view()));
        std::string params = "params=(";
        for (const Node* p = f.params; p; p = p->next) {
          params += p->as<TextNode>().text.view();
          if (p->next) params += ", ";
        }
        word(params + ")");
        word("brace=" + std::to_string(f.braceLine));
        if (f.usesArguments) word("uses-arguments");
        end(n);
        node(f.body, depth + 1, "body");
        break;
      }
      case NodeKind::DllImportStmt: {
        const auto& d = n->as<DllImportNode>();
        std::vector<const Node*> params;
        for (const Node* p = d.paramTypes; p; p = p->next) params.push_back(p);
        std::string sig = std::string(d.callType.view()) + " " +
                          std::string(d.returnType->as<TextNode>().text.view()) + " " +
                          std::string(d.function.view()) + "(";
        for (auto it = params.rbegin(); it != params.rend(); ++it) {
          sig += (*it)->as<TextNode>().text.view();
          if (it + 1 != params.rend()) sig += ", ";
        }
        sig += ")";
        if (d.alias) sig += " as " + std::string(d.alias.view());
        word(sig);
        end(n);
        node(d.library, depth + 1, "library");
        break;
      }
      default:  // ThisExpr, NullExpr, TrueExpr, FalseExpr, UndefinedExpr, EmptyStmt
        end(n);
        break;
    }
  }

  void list(const Node* first, int depth, const char* role = nullptr) {
    for (const Node* n = first; n; n = n->next) node(n, depth, role);
  }

private:
  void start(int depth, const char* role) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    if (role) {
      out += role;
      out += ": ";
    }
  }
  void word(std::string_view w) {
    out += ' ';
    out += w;
  }
  void end(const Node* n) {
    if (const char* s = staticKindName(n->staticKind)) {
      out += " :";
      out += s;
    }
    out += " @";
    out += std::to_string(n->line);
    out += '\n';
  }

  // Lists linked last item first, shown in source order.
  void reversed(const Node* last, int depth, const char* role, NodeKind owner = NodeKind::CallExpr) {
    std::vector<const Node*> items;
    for (const Node* n = last; n; n = n->next) items.push_back(n);
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      const Node* n = *it;
      if (owner == NodeKind::ArrayExpr && n->kind == NodeKind::EmptyStmt) {
        start(depth, role);
        out += "Hole";
        end(n);
      } else if (owner == NodeKind::ObjectExpr) {
        property(n->as<PropertyNode>(), depth);
      } else {
        node(n, depth, role);
      }
    }
  }

  void property(const PropertyNode& p, int depth) {
    start(depth, nullptr);
    out += "Property";
    if (p.keyKind == tok::Integer) {
      word(std::to_string(p.intKey));
    } else if (p.keyKind == tok::String) {
      word(quoteText(p.textKey.view()));
    } else {
      word(p.textKey.view());
    }
    end(&p);
    node(p.value, depth + 1);
  }

  void catchClause(const CatchNode& c, int depth) {
    start(depth, nullptr);
    out += "CatchClause";
    word(c.name.view());
    end(&c);
    node(c.condition, depth + 1, "if");
    node(c.body, depth + 1, "body");
  }

  void caseClause(const CaseNode& c, int depth) {
    start(depth, nullptr);
    out += c.test ? "CaseClause" : "DefaultClause";
    word("end=" + std::to_string(c.endLine));
    end(&c);
    node(c.test, depth + 1, "test");
    list(c.body, depth + 1);
  }
};

} // namespace

std::string formatSyntaxTree(const SyntaxTree& tree) {
  TreeWriter w;
  w.out += "functions:\n";
  w.list(tree.functions, 1);
  w.out += "main:\n";
  w.list(tree.main, 1);
  return w.out;
}

} // namespace plumex::script::compiler
