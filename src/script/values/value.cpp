#include "script/values/value.h"

namespace plumex::script {

std::u16string_view typeOfText(const Value& v) {
  switch (v.kind) {
    case Kind::Undefined: return u"undefined";
    case Kind::Null: case Kind::Array: case Kind::Object: case Kind::Native: return u"object";
    case Kind::Boolean: return u"boolean";
    case Kind::Integer: case Kind::Float: case Kind::NaN: return u"number";
    case Kind::String: return u"string";
    case Kind::Function: return u"function";
    default: return u"";
  }
}

} // namespace plumex::script
