#pragma once
// The RegExp class, and the regular-expression operations the String
// methods "match", "search", "replace" and "split" hand over to it. Each
// operation first makes the text the class's last input and clears the
// match positions.

#include <cstdint>

#include "script/values/value.h"

namespace plumex::script {
class Engine;
}

namespace plumex::script::builtins {

// Registers the class and the engine's hook that makes RegExp constants.
void registerRegExpClass(Engine& engine);

// Whether v is a RegExp object.
bool isRegExp(Engine& engine, const Value& v);

// "match": the exec result, or with "g" an Array of every whole match.
Value regexpMatch(Engine& engine, const Value& regexp, const Value& text);
// "search": the Integer start of the first match, or -1.
Value regexpSearch(Engine& engine, const Value& regexp, const Value& text);
// "replace" with a String replacement ("$$", "$&", "$1".. substitutions).
Value regexpReplace(Engine& engine, const Value& regexp, const Value& text, const Value& replacement);
// "split": an Array of the pieces between matches, at most limit of them.
Value regexpSplit(Engine& engine, const Value& regexp, const Value& text, std::int64_t limit);

} // namespace plumex::script::builtins
