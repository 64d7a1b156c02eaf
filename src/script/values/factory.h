#pragma once
// Creating heap records, and the text routines at the engine's edge.

#include <string>
#include <string_view>

#include "script/values/engine.h"
#include "script/values/value.h"

namespace plumex::script {

class ArrayRecord;
class ClassRecord;
class FunctionCell;
class PropertyTable;
class StringRecord;

// Names a table has room for in its own cell unless its maker knows
// better: most objects hold a few.
inline constexpr std::uint32_t kTableRoom = 2;
PropertyTable* newTable(Engine& engine, std::uint32_t room = kTableRoom);
// A table whose "__proto__" is an Object over `prototype`, with room for
// that slot and `room` names more.
PropertyTable* newTableOver(Engine& engine, PropertyTable* prototype, std::uint32_t room = kTableRoom);
ArrayRecord* newArray(Engine& engine, std::uint64_t length = 0);
FunctionCell* newFunction(Engine& engine, Cell* code);

// A String over constant text, which must outlive the engine; no copy.
Value makeStaticString(Engine& engine, const char16_t* chars, std::uint32_t length);
Value makeStaticString(Engine& engine, std::u16string_view literal);
// A dynamic String from text in the system's ANSI code page.
Value makeString(Engine& engine, std::string_view ansi);
// A dynamic String holding a copy of the text.
Value copyString(Engine& engine, std::u16string_view text);
// A dynamic String of ASCII text, a unit per byte.
Value copyAscii(Engine& engine, std::string_view ascii);
// A dynamic String of `length` units for the caller to write before
// anything else can see it; raises "Out of memory" beyond the longest
// string the engine builds.
StringRecord* allocateString(Engine& engine, std::size_t length);
// The text of a String value in the system's ANSI code page.
std::string toAnsi(const Value& stringValue);
// A new String of a followed by b; raises "Out of memory" beyond the
// longest string the engine builds.
Value concatStrings(Engine& engine, std::u16string_view a, std::u16string_view b);
// The same with a's string: long results share a's buffer when they can
// (see StringRecord::concat).
Value concatStrings(Engine& engine, const StringRecord& a, std::u16string_view b);

// A class record whose prototype table holds "__proto__" = Null.
ClassRecord* newClass(Engine& engine);
// A native object over instance data, or the class object when instance
// is null.
Value newNative(Engine& engine, ClassRecord* cls, void* instance);
// Whether v is a native object (not the class object) of the class held by
// the global named className.
bool isInstanceOf(Engine& engine, const Value& v, std::u16string_view className);

} // namespace plumex::script
