#include "script/values/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace plumex::script {
namespace {

int digitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

bool isDecimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The double of digits whose 64-bit accumulator overflowed, in a radix
// that is a power of two: the first 53 significant bits exactly, each later
// bit doubling the value, any later set bit or-ed into the last kept one.
double powerOfTwoDigits(std::u16string_view digits, int radix) {
  const int bitsPerDigit = std::countr_zero(static_cast<unsigned>(radix));
  std::uint64_t mantissa = 0;
  int kept = 0;
  int exponent = 0;
  bool sticky = false;
  for (char16_t c : digits) {
    const unsigned d = static_cast<unsigned>(digitValue(c));
    for (int b = bitsPerDigit - 1; b >= 0; --b) {
      const unsigned bit = (d >> b) & 1u;
      if (kept == 0 && bit == 0) continue;
      if (kept < 53) {
        mantissa = (mantissa << 1) | bit;
        ++kept;
      } else {
        ++exponent;
        sticky = sticky || bit;
      }
    }
  }
  if (sticky) mantissa |= 1;
  return std::ldexp(static_cast<double>(mantissa), exponent);
}

} // namespace

bool isTextSpace(char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D); }

ScannedFloat scanDecimalFloat(std::u16string_view text) {
  std::size_t p = 0;
  while (p < text.size() && isTextSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == u'-' || text[p] == u'+')) negative = text[p++] == u'-';
  std::string ascii;
  std::size_t intDigits = 0, fracDigits = 0;
  while (p < text.size() && isDecimalDigit(text[p])) {
    ascii.push_back(static_cast<char>(text[p++]));
    ++intDigits;
  }
  if (p < text.size() && text[p] == u'.') {
    std::size_t q = p + 1;
    std::string frac;
    while (q < text.size() && isDecimalDigit(text[q])) frac.push_back(static_cast<char>(text[q++]));
    fracDigits = frac.size();
    if (intDigits + fracDigits > 0) {
      ascii += '.';
      ascii += frac;
      p = q;
    }
  }
  if (intDigits + fracDigits == 0) return {};
  if (p < text.size() &&
      (text[p] == u'e' || text[p] == u'E' || text[p] == u'd' || text[p] == u'D')) {
    std::size_t q = p + 1;
    std::string exp = "e";
    if (q < text.size() && (text[q] == u'-' || text[q] == u'+')) exp.push_back(static_cast<char>(text[q++]));
    if (q < text.size() && isDecimalDigit(text[q])) {
      while (q < text.size() && isDecimalDigit(text[q])) exp.push_back(static_cast<char>(text[q++]));
      ascii += exp;
      p = q;
    }
  }
  double value = 0;
  const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: infinity or zero, as strtod.
    const std::size_t e = ascii.find('e');
    const bool tiny = e != std::string::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  (void)ptr;
  return {p, negative ? -value : value};
}

ParsedNumber parseNumberText(std::u16string_view text, int radix) {
  ParsedNumber out;
  std::size_t p = 0;
  while (p < text.size() && isTextSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == u'-' || text[p] == u'+')) negative = text[p++] == u'-';
  while (p < text.size() && isTextSpace(text[p])) ++p;
  const auto startsHex = [&] {
    return p + 1 < text.size() && text[p] == u'0' && (text[p + 1] == u'x' || text[p + 1] == u'X');
  };
  if (radix == 0) {
    if (startsHex()) {
      radix = 16;
      p += 2;
    } else {
      radix = p < text.size() && text[p] == u'0' ? 8 : 10;
    }
  } else if (radix == 16 && startsHex()) {
    p += 2;
  }
  if (radix < 2 || radix > 36) return out;

  const std::size_t first = p;
  std::uint64_t acc = 0;
  bool overflow = false;
  double d = 0;
  for (int digit; p < text.size() && (digit = digitValue(text[p])) < radix; ++p) {
    d = d * radix + digit;
    if (!overflow) {
      constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
      const auto r = static_cast<std::uint64_t>(radix);
      const auto dg = static_cast<std::uint64_t>(digit);
      if (acc > (kMax - dg) / r) overflow = true;
      else acc = acc * r + dg;
    }
  }
  if (p == first) return out;
  out.end = p;
  if (overflow) {
    const std::u16string_view digits = text.substr(first, p - first);
    if (radix == 10) d = scanDecimalFloat(digits).value;
    else if (std::has_single_bit(static_cast<unsigned>(radix))) d = powerOfTwoDigits(digits, radix);
    out.kind = ParsedKind::Float;
    out.floatValue = negative ? -d : d;
  } else {
    out.kind = ParsedKind::Integer;
    const auto i = static_cast<std::int64_t>(acc);
    out.integerValue = negative ? -i : i;
    out.floatValue = negative ? -d : d;
  }
  return out;
}

std::string formatFloat(double d) {
  if (std::isinf(d)) return d > 0 ? "1.#INF" : "-1.#INF";
  if (std::isnan(d)) return "NaN";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 6);
  std::string text(buf, res.ptr);
  const std::size_t e = text.find('e');
  if (e != std::string::npos) {
    // e, sign, then at least three exponent digits.
    const std::size_t digits = text.size() - (e + 2);
    if (digits < 3) text.insert(e + 2, 3 - digits, '0');
  }
  return text;
}

std::string formatInteger(std::int64_t v, int radix) {
  if (radix < 2 || radix > 36) radix = 10;
  char buf[72];
  std::to_chars_result res;
  if (radix == 10) res = std::to_chars(buf, buf + sizeof buf, v);
  else res = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(v), radix);
  return std::string(buf, res.ptr);
}

std::u16string_view decimalText(std::int64_t v, DecimalUnits& room) {
  char buf[sizeof room.units];
  const std::to_chars_result res = std::to_chars(buf, buf + sizeof buf, v);
  const auto n = static_cast<std::size_t>(res.ptr - buf);
  std::copy(buf, res.ptr, room.units);
  return {room.units, n};
}

} // namespace plumex::script
