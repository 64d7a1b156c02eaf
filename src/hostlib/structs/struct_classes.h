#pragma once
// Struct, which lays out a C structure in memory from a description and
// gives its members to scripts as properties, and StructArray, the view
// of an array member.

#include <cstdint>

#include "hostlib/structs/struct_layout.h"
#include "script/values/engine.h"

namespace plumex::hostlib::structs {

// What every engine of a process shares: the alignment of the layouts
// built from then on ("Struct.align"). It outlives the engines.
struct StructSettings {
  std::int32_t alignment = kDefaultAlignment;
};

// Struct, then StructArray.
void registerStructClasses(script::Engine& engine, StructSettings& settings);

} // namespace plumex::hostlib::structs
