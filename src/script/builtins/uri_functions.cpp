// Global functions that escape text: escape and unescape with "%XX" and
// "%uXXXX" per UTF-16 unit, and the URI functions with UTF-8 percent
// escapes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/builtins/uri_codec.h"
#include "script/values/conversions.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::u16string_view kEscapeKept =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@*_+-./";
constexpr std::u16string_view kUnreserved =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_.!~*'()";
constexpr std::u16string_view kReserved = u";/?:@&=+$,#";

bool in(std::u16string_view set, char16_t c) { return set.find(c) != std::u16string_view::npos; }

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The value of n hexadecimal digits at p, or nothing.
std::optional<unsigned> hexAt(std::u16string_view s, std::size_t p, std::size_t n) {
  if (p + n > s.size()) return std::nullopt;
  unsigned v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int d = hexValue(s[p + i]);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<unsigned>(d);
  }
  return v;
}

void appendHex(std::u16string& out, unsigned v, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += static_cast<char16_t>(kHexDigits[(v >> shift) & 0xF]);
}

// The argument's text; nothing when there is no argument.
std::optional<std::u16string> textArgument(Engine& e, ArgBlock block) {
  const Args args(block);
  if (args.size() == 0) return std::nullopt;
  return std::u16string(toStringValue(e, args[0]).asString()->view());
}

Value result(Engine& e, std::u16string text) {
  if (text.size() > StringRecord::kMaxLength) raiseError(e, "Out of memory");
  return copyString(e, text);
}

// ---- escape and unescape --------------------------------------------------

void escape(Engine& e, ClassRecord&, void*, Value& out, ArgBlock block) {
  const auto text = textArgument(e, block);
  std::u16string s;
  if (text) {
    for (char16_t c : *text) {
      if (in(kEscapeKept, c)) {
        s += c;
      } else if (c < 256) {
        s += u'%';
        appendHex(s, c, 2);
      } else {
        s += u"%u";
        appendHex(s, c, 4);
      }
    }
  }
  out = result(e, std::move(s));
}

void unescape(Engine& e, ClassRecord&, void*, Value& out, ArgBlock block) {
  const auto text = textArgument(e, block);
  if (!text) {
    out = Value::undefined();
    return;
  }
  const std::u16string_view t = *text;
  std::u16string s;
  for (std::size_t p = 0; p < t.size();) {
    if (t[p] == u'%') {
      if (p + 1 < t.size() && t[p + 1] == u'u') {
        if (const auto v = hexAt(t, p + 2, 4)) {
          s += static_cast<char16_t>(*v);
          p += 6;
          continue;
        }
      } else if (const auto v = hexAt(t, p + 1, 2)) {
        s += static_cast<char16_t>(*v);
        p += 3;
        continue;
      }
    }
    s += t[p++];
  }
  out = result(e, std::move(s));
}

// ---- URI encoding ---------------------------------------------------------

void appendEscapedByte(std::u16string& out, unsigned byte) {
  out += u'%';
  appendHex(out, byte, 2);
}

} // namespace

// UTF-8 percent escapes for every unit outside `kept`; surrogates must
// come in pairs. Nothing on an unpaired surrogate.
std::optional<std::u16string> encodeUri(std::u16string_view t, bool keepReserved) {
  std::u16string out;
  for (std::size_t p = 0; p < t.size(); ++p) {
    const char16_t c = t[p];
    if (in(kUnreserved, c) || (keepReserved && in(kReserved, c))) {
      out += c;
      continue;
    }
    std::uint32_t cp = c;
    if (c >= 0xDC00 && c <= 0xDFFF) return std::nullopt;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (p + 1 >= t.size() || t[p + 1] < 0xDC00 || t[p + 1] > 0xDFFF) return std::nullopt;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[++p] - 0xDC00u);
    }
    if (cp < 0x80) {
      appendEscapedByte(out, cp);
    } else if (cp < 0x800) {
      appendEscapedByte(out, 0xC0 | (cp >> 6));
      appendEscapedByte(out, 0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      appendEscapedByte(out, 0xE0 | (cp >> 12));
      appendEscapedByte(out, 0x80 | ((cp >> 6) & 0x3F));
      appendEscapedByte(out, 0x80 | (cp & 0x3F));
    } else {
      appendEscapedByte(out, 0xF0 | (cp >> 18));
      appendEscapedByte(out, 0x80 | ((cp >> 12) & 0x3F));
      appendEscapedByte(out, 0x80 | ((cp >> 6) & 0x3F));
      appendEscapedByte(out, 0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Decodes every UTF-8 sequence of percent escapes; with keepReserved, an
// escape of a reserved character stays as it was written. Nothing on a
// malformed escape or sequence.
std::optional<std::u16string> decodeUri(std::u16string_view t, bool keepReserved) {
  std::u16string out;
  for (std::size_t p = 0; p < t.size();) {
    if (t[p] != u'%') {
      out += t[p++];
      continue;
    }
    const std::size_t start = p;
    const auto first = hexAt(t, p + 1, 2);
    if (!first) return std::nullopt;
    p += 3;
    if (*first < 0x80) {
      const auto c = static_cast<char16_t>(*first);
      if (keepReserved && in(kReserved, c)) out.append(t.substr(start, 3));
      else out += c;
      continue;
    }
    // The leading one bits give the length of the sequence: 2 to 6.
    int length = 0;
    while (length < 8 && (*first & (0x80u >> length))) ++length;
    if (length < 2 || length > 6) return std::nullopt;
    std::uint32_t cp = *first & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
      if (p >= t.size() || t[p] != u'%') return std::nullopt;
      const auto next = hexAt(t, p + 1, 2);
      if (!next || (*next & 0xC0) != 0x80) return std::nullopt;
      p += 3;
      cp = (cp << 6) | (*next & 0x3F);
    }
    if (cp >= 0x110000) return std::nullopt;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

namespace {

// The common ground of the four URI functions: Undefined without an
// argument, and Undefined with a trace line on malformed input.
template <std::optional<std::u16string> (*Transform)(std::u16string_view, bool), bool Flag>
void uriFunction(Engine& e, ClassRecord&, void*, Value& out, ArgBlock block) {
  out = Value::undefined();
  const auto text = textArgument(e, block);
  if (!text) return;
  auto transformed = Transform(*text, Flag);
  if (!transformed) {
    e.warn("Invalid URI string");
    return;
  }
  out = result(e, std::move(*transformed));
}

} // namespace

void registerEscapeFunctions(Engine& engine) {
  binding::registerFunction(engine, "escape", escape);
  binding::registerFunction(engine, "unescape", unescape);
}

void registerUriFunctions(Engine& engine) {
  binding::registerFunction(engine, "encodeURI", uriFunction<encodeUri, true>);
  binding::registerFunction(engine, "encodeURIComponent", uriFunction<encodeUri, false>);
  binding::registerFunction(engine, "decodeURI", uriFunction<decodeUri, true>);
  binding::registerFunction(engine, "decodeURIComponent", uriFunction<decodeUri, false>);
}

} // namespace plumex::script::builtins
