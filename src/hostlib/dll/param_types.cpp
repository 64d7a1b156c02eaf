#include "hostlib/dll/param_types.h"

#include <algorithm>
#include <cctype>

namespace plumex::hostlib::dll {
namespace {

struct Row {
  std::string_view name;
  bool byReference;
  ParamKind kind;
  std::uint32_t size;
};

constexpr Row kTypes[] = {
    {"void", false, ParamKind::Void, 0},
    {"void*", false, ParamKind::Pointer, 4},
    {"pointer", false, ParamKind::Pointer, 4},
    {"pointer*", false, ParamKind::Pointer, 4},
    {"string*", false, ParamKind::Pointer, 4},
    {"char", false, ParamKind::Char, 1},
    {"char*", true, ParamKind::Char, 4},
    {"string", true, ParamKind::Char, 4},
    {"byte", false, ParamKind::UnsignedChar, 1},
    {"unsigned char", false, ParamKind::UnsignedChar, 1},
    {"byte*", true, ParamKind::UnsignedChar, 4},
    {"unsigned char*", true, ParamKind::UnsignedChar, 4},
    {"short", false, ParamKind::Short, 2},
    {"short*", true, ParamKind::Short, 4},
    {"widestring", true, ParamKind::Short, 4},
    {"ushort", false, ParamKind::UnsignedShort, 2},
    {"unsigned short", false, ParamKind::UnsignedShort, 2},
    {"ushort*", true, ParamKind::UnsignedShort, 4},
    {"unsigned short*", true, ParamKind::UnsignedShort, 4},
    {"long", false, ParamKind::Int, 4},
    {"int", false, ParamKind::Int, 4},
    {"boolean", false, ParamKind::Int, 4},
    {"long*", true, ParamKind::Int, 4},
    {"int*", true, ParamKind::Int, 4},
    {"boolean*", true, ParamKind::Int, 4},
    {"ulong", false, ParamKind::UnsignedInt, 4},
    {"unsigned int", false, ParamKind::UnsignedInt, 4},
    {"unsigned long", false, ParamKind::UnsignedInt, 4},
    {"ulong*", true, ParamKind::UnsignedInt, 4},
    {"unsigned int*", true, ParamKind::UnsignedInt, 4},
    {"unsigned long*", true, ParamKind::UnsignedInt, 4},
    {"longlong", false, ParamKind::Int64, 8},
    {"int64", false, ParamKind::Int64, 8},
    {"unsigned int64", false, ParamKind::Int64, 8},
    {"int64*", true, ParamKind::Int64, 4},
    {"unsigned int64*", true, ParamKind::Int64, 4},
    {"float", false, ParamKind::Float, 4},
    {"float*", true, ParamKind::Float, 4},
    {"double", false, ParamKind::Double, 8},
    {"double*", true, ParamKind::Double, 4},
};

bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

} // namespace

std::optional<ParamDescriptor> builtinParamType(std::string_view name) {
  for (const Row& row : kTypes) {
    if (sameText(row.name, name)) return ParamDescriptor{row.byReference, row.kind, row.size, {}, std::string(name)};
  }
  return std::nullopt;
}

std::uint32_t argumentBytes(const ParamDescriptor& p) {
  if (p.byReference) return 4;
  return (p.size + 3) / 4 * 4;
}

std::uint32_t callFlags(std::string_view callType, const ParamDescriptor& result) {
  std::uint32_t flags = 0;
  if (sameText(callType, "cdecl")) flags = kCdecl;
  else if (sameText(callType, "stdcall") || sameText(callType, "pascal")) flags = kStdcall;
  else if (sameText(callType, "fastcall")) flags = kFastcall;
  if (!result.byReference && result.kind == ParamKind::Float) flags |= kFloatResult;
  if (!result.byReference && result.kind == ParamKind::Double) flags |= kDoubleResult;
  return flags;
}

} // namespace plumex::hostlib::dll
