#include "script/builtins/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "script/values/number_text.h"

namespace plumex::script::builtins {
namespace {

struct Conversion {
  bool left = false;   // '-'
  bool plus = false;   // '+'
  bool space = false;  // ' '
  bool alt = false;    // '#'
  bool zero = false;   // '0'
  int width = 0;
  int precision = -1;  // -1: none given
  bool wide = false;   // "ll" or "I64": all 64 bits of an Integer
  char16_t type = 0;
};

// Digits of a width or a precision, at most kFormatFieldLimit.
bool readField(std::u16string_view f, std::size_t& p, int& out) {
  out = 0;
  for (; p < f.size() && f[p] >= u'0' && f[p] <= u'9'; ++p) {
    out = out * 10 + (f[p] - u'0');
    if (out > kFormatFieldLimit) return false;
  }
  return true;
}

// The conversion after a '%' at p (p is left after it).
std::optional<Conversion> readConversion(std::u16string_view f, std::size_t& p) {
  Conversion c;
  for (; p < f.size(); ++p) {
    switch (f[p]) {
      case u'-': c.left = true; continue;
      case u'+': c.plus = true; continue;
      case u' ': c.space = true; continue;
      case u'#': c.alt = true; continue;
      case u'0': c.zero = true; continue;
      default: break;
    }
    break;
  }
  if (!readField(f, p, c.width)) return std::nullopt;
  if (p < f.size() && f[p] == u'.') {
    ++p;
    if (!readField(f, p, c.precision)) return std::nullopt;
  }
  const std::u16string_view rest = f.substr(p);
  if (rest.starts_with(u"ll")) {
    c.wide = true;
    p += 2;
  } else if (rest.starts_with(u"I64")) {
    c.wide = true;
    p += 3;
  } else if (rest.starts_with(u"l")) {
    p += 1;
  }
  if (p >= f.size()) return std::nullopt;
  c.type = f[p++];
  return c;
}

bool isIntegerType(char16_t t) {
  return t == u'd' || t == u'i' || t == u'u' || t == u'x' || t == u'X' || t == u'o';
}
bool isFloatType(char16_t t) { return t == u'e' || t == u'E' || t == u'f' || t == u'g' || t == u'G'; }

// Sign (or prefix) and body padded to the width: spaces in front, behind
// with '-', or zeros between the two with '0'.
std::string pad(const Conversion& c, const std::string& sign, const std::string& body, bool zeroPads) {
  const std::size_t length = sign.size() + body.size();
  const std::size_t fill = static_cast<std::size_t>(c.width) > length ? c.width - length : 0;
  if (c.left) return sign + body + std::string(fill, ' ');
  if (zeroPads) return sign + std::string(fill, '0') + body;
  return std::string(fill, ' ') + sign + body;
}

std::string integerText(const Conversion& c, std::int64_t value) {
  const bool isSigned = c.type == u'd' || c.type == u'i';
  std::uint64_t magnitude;
  bool negative = false;
  if (isSigned) {
    const std::int64_t v = c.wide ? value : static_cast<std::int32_t>(value);
    negative = v < 0;
    magnitude = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  } else {
    magnitude = c.wide ? static_cast<std::uint64_t>(value) : static_cast<std::uint32_t>(value);
  }
  const int base = c.type == u'o' ? 8 : (c.type == u'x' || c.type == u'X') ? 16 : 10;
  char buf[24];
  std::string digits(buf, std::to_chars(buf, buf + sizeof buf, magnitude, base).ptr);
  if (c.type == u'X')
    for (char& d : digits) d = static_cast<char>(d >= 'a' && d <= 'f' ? d - 'a' + 'A' : d);
  // A precision is the least number of digits; zero digits for 0 with
  // precision 0.
  if (c.precision == 0 && magnitude == 0) digits.clear();
  if (c.precision > 0 && digits.size() < static_cast<std::size_t>(c.precision))
    digits.insert(0, c.precision - digits.size(), '0');

  std::string prefix;
  if (isSigned) prefix = negative ? "-" : c.plus ? "+" : c.space ? " " : "";
  if (c.alt && c.type == u'o' && (digits.empty() || digits[0] != '0')) digits.insert(0, 1, '0');
  if (c.alt && magnitude != 0 && base == 16) prefix = c.type == u'X' ? "0X" : "0x";
  return pad(c, prefix, digits, c.zero && c.precision < 0);
}

// A double by the charconv routines into a buffer of the size the
// precision needs: the largest double has 309 integer digits.
std::string chars(double a, std::chars_format form, int precision) {
  std::string buf(340 + static_cast<std::size_t>(precision), '\0');
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, form, precision);
  buf.resize(static_cast<std::size_t>(r.ptr - buf.data()));
  return buf;
}

// An exponent of at least three digits, as the runtime's C library prints
// it ("1.5e+021").
void widenExponent(std::string& s) {
  const std::size_t e = s.find('e');
  if (e == std::string::npos) return;
  const std::size_t digits = s.size() - (e + 2);
  if (digits < 3) s.insert(e + 2, 3 - digits, '0');
}

int exponentOf(const std::string& scientific) {
  return std::stoi(scientific.substr(scientific.find('e') + 1));
}

// "%g": the shorter of the two forms for that many significant digits,
// trailing zeros removed unless '#'.
std::string generalText(double a, int significant, bool alt) {
  const std::string sci = chars(a, std::chars_format::scientific, significant - 1);
  const int x = exponentOf(sci);
  std::string s = significant > x && x >= -4 ? chars(a, std::chars_format::fixed, significant - 1 - x) : sci;
  std::size_t end = s.find('e');
  if (end == std::string::npos) end = s.size();
  const std::size_t point = s.find('.');
  if (!alt && point != std::string::npos && point < end) {
    std::size_t cut = end;
    while (cut > point + 1 && s[cut - 1] == '0') --cut;
    if (cut == point + 1) cut = point;
    s.erase(cut, end - cut);
  } else if (alt && (point == std::string::npos || point > end)) {
    s.insert(end, 1, '.');
  }
  return s;
}

std::string floatText(const Conversion& c, double value) {
  const bool negative = std::signbit(value);
  const std::string sign = negative ? "-" : c.plus ? "+" : c.space ? " " : "";
  const double a = std::fabs(value);
  // Infinities print as the engine's own text of them, unpadded by zeros.
  if (std::isinf(a)) return pad(c, sign, script::formatFloat(a), false);

  const int precision = c.precision < 0 ? 6 : c.precision;
  std::string body;
  switch (c.type) {
    case u'f':
      body = chars(a, std::chars_format::fixed, precision);
      if (c.alt && precision == 0) body += '.';
      break;
    case u'e':
    case u'E':
      body = chars(a, std::chars_format::scientific, precision);
      if (c.alt && precision == 0) body.insert(body.find('e'), 1, '.');
      break;
    default:
      body = generalText(a, precision == 0 ? 1 : precision, c.alt);
      break;
  }
  widenExponent(body);
  if (c.type == u'E' || c.type == u'G')
    for (char& ch : body) ch = ch == 'e' ? 'E' : ch;
  return pad(c, sign, body, c.zero);
}

} // namespace

std::optional<std::u16string> formatNumber(std::u16string_view format, const Value& value) {
  if (!value.is(Kind::Integer) && !value.is(Kind::Float)) return std::nullopt;
  std::u16string out;
  bool converted = false;
  for (std::size_t p = 0; p < format.size();) {
    if (format[p] != u'%') {
      out += format[p++];
      continue;
    }
    ++p;
    if (p < format.size() && format[p] == u'%') {
      out += u'%';
      ++p;
      continue;
    }
    const auto c = readConversion(format, p);
    if (!c || converted) return std::nullopt;
    std::string text;
    if (value.is(Kind::Integer) && isIntegerType(c->type)) text = integerText(*c, value.integerValue());
    else if (value.is(Kind::Float) && isFloatType(c->type) && !c->wide) text = floatText(*c, value.floatValue());
    else return std::nullopt;
    out.append(text.begin(), text.end());
    converted = true;
  }
  if (!converted) return std::nullopt;
  return out;
}

} // namespace plumex::script::builtins
