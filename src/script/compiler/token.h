#pragma once
// Tokens of the script language. A single-character token's kind is its
// character code (sign-extended for bytes of 0x80 and above); the other
// kinds are numbered from 128.

#include <cstdint>
#include <string>

#include "script/compiler/arena.h"

namespace plumex::script::compiler {

namespace tok {
inline constexpr int End = 128;
inline constexpr int Integer = 129;
inline constexpr int Number = 130;
inline constexpr int String = 131;
inline constexpr int Identifier = 132;
inline constexpr int Break = 133;
inline constexpr int Continue = 134;
inline constexpr int Delete = 135;
inline constexpr int Else = 136;
inline constexpr int For = 137;
inline constexpr int Function = 138;
inline constexpr int If = 139;
inline constexpr int In = 140;
inline constexpr int New = 141;
inline constexpr int Return = 142;
inline constexpr int This = 143;
inline constexpr int Typeof = 144;
inline constexpr int Var = 145;
inline constexpr int Void = 146;
inline constexpr int While = 147;
inline constexpr int With = 148;
inline constexpr int Case = 149;
inline constexpr int Catch = 150;
inline constexpr int Class = 151;
inline constexpr int Const = 152;
inline constexpr int Debugger = 153;
inline constexpr int Default = 154;
inline constexpr int Do = 155;
inline constexpr int Enum = 156;
inline constexpr int Export = 157;
inline constexpr int Extends = 158;
inline constexpr int Finally = 159;
inline constexpr int Import = 160;
inline constexpr int Super = 161;
inline constexpr int Switch = 162;
inline constexpr int Throw = 163;
inline constexpr int Try = 164;
inline constexpr int Null = 165;
inline constexpr int True = 166;
inline constexpr int False = 167;
inline constexpr int Eq = 168;          // ==
inline constexpr int Ne = 169;          // !=
inline constexpr int Le = 170;          // <=
inline constexpr int Ge = 171;          // >=
inline constexpr int AndAnd = 172;      // &&
inline constexpr int OrOr = 173;        // ||
inline constexpr int PlusPlus = 174;    // ++
inline constexpr int MinusMinus = 175;  // --
inline constexpr int MulAssign = 176;   // *=
inline constexpr int DivAssign = 177;   // /=
inline constexpr int ModAssign = 178;   // %=
inline constexpr int AddAssign = 179;   // +=
inline constexpr int SubAssign = 180;   // -=
inline constexpr int AndAssign = 181;   // &=
inline constexpr int XorAssign = 182;   // ^=
inline constexpr int OrAssign = 183;    // |=
inline constexpr int ShlAssign = 184;   // <<=
inline constexpr int Shl = 185;         // <<
inline constexpr int Shr = 186;         // >>
inline constexpr int UShr = 187;        // >>>
inline constexpr int ShrAssign = 188;   // >>=
inline constexpr int UShrAssign = 189;  // >>>=
inline constexpr int StrictEq = 190;    // ===
inline constexpr int StrictNe = 191;    // !==
inline constexpr int Undefined = 192;
inline constexpr int Struct = 193;
inline constexpr int DllImport = 194;
inline constexpr int As = 195;
} // namespace tok

struct Token {
  int kind = tok::End;
  int line = 0;
  std::int64_t integer = 0;  // Integer
  double number = 0;         // Number
  Text text;                 // String and Identifier
};

// The name of a kind for people: "identifier", "end of input", "'('",
// "'>>>='", "break", or "byte 0xNN" for a byte of 0x80 and above.
std::string tokenKindName(int kind);

} // namespace plumex::script::compiler
