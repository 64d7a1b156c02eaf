// The type names a declaration may use, and the call flags.

#include <gtest/gtest.h>

#include "hostlib/dll/param_types.h"

namespace plumex::hostlib::dll {
namespace {

TEST(ParamTypes, BuiltinNames) {
  struct Row {
    const char* name;
    bool byReference;
    ParamKind kind;
    std::uint32_t size;
    std::uint32_t argumentBytes;
  };
  const Row rows[] = {
      {"void", false, ParamKind::Void, 0, 0},
      {"VOID*", false, ParamKind::Pointer, 4, 4},
      {"String*", false, ParamKind::Pointer, 4, 4},
      {"pointer*", false, ParamKind::Pointer, 4, 4},
      {"char", false, ParamKind::Char, 1, 4},
      {"String", true, ParamKind::Char, 4, 4},
      {"unsigned char", false, ParamKind::UnsignedChar, 1, 4},
      {"Byte*", true, ParamKind::UnsignedChar, 4, 4},
      {"widestring", true, ParamKind::Short, 4, 4},
      {"unsigned short", false, ParamKind::UnsignedShort, 2, 4},
      {"Boolean", false, ParamKind::Int, 4, 4},
      {"boolean*", true, ParamKind::Int, 4, 4},
      {"unsigned long", false, ParamKind::UnsignedInt, 4, 4},
      {"unsigned int64", false, ParamKind::Int64, 8, 8},
      {"int64*", true, ParamKind::Int64, 4, 4},
      {"float", false, ParamKind::Float, 4, 4},
      {"double", false, ParamKind::Double, 8, 8},
      {"double*", true, ParamKind::Double, 4, 4},
  };
  for (const Row& row : rows) {
    const auto p = builtinParamType(row.name);
    ASSERT_TRUE(p) << row.name;
    EXPECT_EQ(p->byReference, row.byReference) << row.name;
    EXPECT_EQ(p->kind, row.kind) << row.name;
    EXPECT_EQ(p->size, row.size) << row.name;
    EXPECT_EQ(argumentBytes(*p), row.argumentBytes) << row.name;
    EXPECT_EQ(p->typeName, row.name);
  }
  // Structure names, and near misses of built-in ones.
  for (const char* other : {"intPair", "int32", "long long", "unsigned", "", "char **", "unsigned double"})
    EXPECT_FALSE(builtinParamType(other)) << other;
  // By value, a structure takes whole words.
  EXPECT_EQ(argumentBytes({false, ParamKind::Structure, 13, {}, ""}), 16u);
  EXPECT_EQ(argumentBytes({true, ParamKind::Structure, 13, {}, ""}), 4u);
}

TEST(ParamTypes, CallFlags) {
  const ParamDescriptor longResult = *builtinParamType("long");
  const ParamDescriptor floatResult = *builtinParamType("float");
  const ParamDescriptor doubleResult = *builtinParamType("double");
  const ParamDescriptor doublePointer = *builtinParamType("double*");
  EXPECT_EQ(callFlags("cdecl", longResult), 4u);
  EXPECT_EQ(callFlags("StdCall", longResult), 32u);
  EXPECT_EQ(callFlags("pascal", longResult), 32u);
  EXPECT_EQ(callFlags("fastcall", longResult), 64u);
  EXPECT_EQ(callFlags("", longResult), 0u);
  EXPECT_EQ(callFlags("thiscall", longResult), 0u);
  EXPECT_EQ(callFlags("cdecl", floatResult), 4u | 8u);
  EXPECT_EQ(callFlags("stdcall", doubleResult), 32u | 16u);
  EXPECT_EQ(callFlags("stdcall", doublePointer), 32u);
}

} // namespace
} // namespace plumex::hostlib::dll
