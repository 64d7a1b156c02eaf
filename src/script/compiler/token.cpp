#include "script/compiler/token.h"

#include <cstdio>

#include "script/compiler/keywords.h"

namespace plumex::script::compiler {

std::string tokenKindName(int kind) {
  switch (kind) {
    case tok::End: return "end of input";
    case tok::Integer: return "integer";
    case tok::Number: return "number";
    case tok::String: return "string";
    case tok::Identifier: return "identifier";
    case tok::Eq: return "'=='";
    case tok::Ne: return "'!='";
    case tok::Le: return "'<='";
    case tok::Ge: return "'>='";
    case tok::AndAnd: return "'&&'";
    case tok::OrOr: return "'||'";
    case tok::PlusPlus: return "'++'";
    case tok::MinusMinus: return "'--'";
    case tok::MulAssign: return "'*='";
    case tok::DivAssign: return "'/='";
    case tok::ModAssign: return "'%='";
    case tok::AddAssign: return "'+='";
    case tok::SubAssign: return "'-='";
    case tok::AndAssign: return "'&='";
    case tok::XorAssign: return "'^='";
    case tok::OrAssign: return "'|='";
    case tok::ShlAssign: return "'<<='";
    case tok::Shl: return "'<<'";
    case tok::Shr: return "'>>'";
    case tok::UShr: return "'>>>'";
    case tok::ShrAssign: return "'>>='";
    case tok::UShrAssign: return "'>>>='";
    case tok::StrictEq: return "'==='";
    case tok::StrictNe: return "'!=='";
    default: break;
  }
  if (const std::string_view k = keywordText(kind); !k.empty()) return std::string(k);
  char buf[16];
  if (kind >= 0x20 && kind < 0x7F) {
    std::snprintf(buf, sizeof buf, "'%c'", kind);
  } else {
    std::snprintf(buf, sizeof buf, "byte 0x%02X", static_cast<unsigned>(kind) & 0xFF);
  }
  return buf;
}

} // namespace plumex::script::compiler
