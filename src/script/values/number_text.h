#pragma once
// Numbers to text and text to numbers, the same in both builds (no C
// library locale or printf differences).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plumex::script {

enum class ParsedKind { None = 0, Integer = 1, Float = 2 };

struct ParsedNumber {
  ParsedKind kind = ParsedKind::None;
  std::size_t end = 0;  // position after the digits; 0 when none
  double floatValue = 0;
  std::int64_t integerValue = 0;
};

// Digits in a radix (2 to 36; 0 picks 10, 8 after a leading "0", or 16
// after "0x"), after white space and a sign.
ParsedNumber parseNumberText(std::u16string_view text, int radix);

struct ScannedFloat {
  std::size_t end = 0;  // 0 when nothing was consumed
  double value = 0;
};

// A decimal floating-point number: white space, sign, digits with an
// optional point, and an exponent introduced by e, E, d or D.
ScannedFloat scanDecimalFloat(std::u16string_view text);

bool isTextSpace(char16_t c);

// "%g": six significant digits, an exponent of at least three digits
// ("1e+021"), infinities as "1.#INF" and "-1.#INF".
std::string formatFloat(double d);
// Lower-case digits; a minus sign only in radix 10, other radixes show the
// 64-bit two's complement pattern. Radixes outside 2 to 36 count as 10.
std::string formatInteger(std::int64_t v, int radix = 10);

// Room for the decimal text of any Integer.
struct DecimalUnits {
  char16_t units[20];
};
// The decimal text of v, as formatInteger gives it, written into room:
// concatenation and conversion need no intermediate string.
std::u16string_view decimalText(std::int64_t v, DecimalUnits& room);

} // namespace plumex::script
