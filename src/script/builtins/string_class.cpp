// String: the class of every String value. There are no string objects:
// methods run on the string itself, and every position and count is in
// UTF-16 units. Results are new dynamic strings; an operation whose
// arguments do not fit gives the empty string.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/number_text.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

enum Member {
  Length, CharAt, CharCodeAt, Concat, FromCharCode, IndexOf, LastIndexOf, Match, Replace, Search,
  Slice, Split, Substr, Substring, ToLowerCase, ToUpperCase, Anchor, Big, Blink, Bold, Fixed,
  FontColor, FontSize, Italics, Link, Small, Strike, Sub, Sup, kMemberCount
};
constexpr std::string_view kMembers[] = {
    "length", "charAt", "charCodeAt", "concat", "fromCharCode", "indexOf", "lastIndexOf", "match",
    "replace", "search", "slice", "split", "substr", "substring", "toLowerCase", "toUpperCase",
    "anchor", "big", "blink", "bold", "fixed", "fontColor", "fontSize", "italics", "link", "small",
    "strike", "sub", "sup"};
static_assert(std::size(kMembers) == kMemberCount);

constexpr std::int64_t kNoLimit = 2147483647;

Value emptyString(Engine& e) { return copyString(e, {}); }

Value piece(Engine& e, std::u16string_view text, std::size_t from, std::size_t to) {
  return copyString(e, text.substr(from, to - from));
}

// The text of an argument as a search or markup text: Undefined when
// missing, else its string conversion. The copy survives script that the
// conversion runs.
std::u16string argumentText(Engine& e, const Args& args, std::size_t i) {
  if (!args.has(i)) return {};
  return std::u16string(toStringValue(e, args[i]).asString()->view());
}

// ---- construction and "length" -----------------------------------------

void callString(Engine& e, ClassRecord&, void*, Value& result, ArgBlock block) {
  const Args args(block);
  result = args.size() == 0 ? emptyString(e) : toStringValue(e, args[0]);
}

// A new string that, unlike the strings operations make, carries a table
// over the class prototype from the start.
void constructString(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const Args args(block);
  const Value s = copyString(e, args.size() == 0 ? std::u16string() : argumentText(e, args, 0));
  s.asString()->setTable(newTableOver(e, cls.prototype, 0));
  result = s;
}

bool stringProperty(Engine&, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  // The class object has no length of its own.
  if (!self || binding::members(cls).find(atom) != Length) return false;
  // Read-only: a store is accepted and ignored.
  if (!set) io = Value::integer(static_cast<const Value*>(self)->asString()->length());
  return true;
}

// ---- characters ---------------------------------------------------------

// What the C library's text-to-integer routine reads: white space, a sign
// and decimal digits, wrapping like the 32-bit int it returns.
std::uint32_t leadingDecimal(std::u16string_view text) {
  std::size_t p = 0;
  while (p < text.size() && isTextSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == u'-' || text[p] == u'+')) negative = text[p++] == u'-';
  std::uint32_t n = 0;
  for (; p < text.size() && text[p] >= u'0' && text[p] <= u'9'; ++p) n = n * 10 + (text[p] - u'0');
  return negative ? 0 - n : n;
}

char16_t codeUnitOf(const Value& v) {
  switch (v.kind) {
    case Kind::Integer: return static_cast<char16_t>(v.integerValue());
    case Kind::String: return static_cast<char16_t>(leadingDecimal(v.asString()->view()));
    case Kind::Float: {
      const double d = std::trunc(v.floatValue());
      // Beyond 64 bits there is no integer to truncate to.
      if (!(std::fabs(d) < 9223372036854775808.0)) return 0;
      return static_cast<char16_t>(static_cast<std::int64_t>(d));
    }
    default: return 0;
  }
}

Value fromCharCode(Engine& e, const Args& args) {
  std::u16string text;
  text.reserve(args.size());
  for (const Value& v : args.values()) text.push_back(codeUnitOf(v));
  return copyString(e, text);
}

Value charAt(Engine& e, std::u16string_view text, const Args& args) {
  const auto index = args.integer(0);
  // The index counts as an unsigned 32-bit number: -1 is far beyond the end.
  if (!index || static_cast<std::uint32_t>(*index) >= text.size()) return emptyString(e);
  return copyString(e, text.substr(static_cast<std::uint32_t>(*index), 1));
}

Value charCodeAt(std::u16string_view text, const Args& args) {
  std::int64_t index = 0;
  if (args.has(0)) {
    // An index that is not an Integer reads at the length: NaN.
    index = args[0].is(Kind::Integer) ? args[0].integerValue() : static_cast<std::int64_t>(text.size());
  }
  if (index < 0 || static_cast<std::uint64_t>(index) >= text.size()) return Value::nan();
  return Value::integer(text[static_cast<std::size_t>(index)]);
}

// Case mapping one unit at a time, the same in every build and locale:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic, the letters of the
// ANSI code pages; every other unit is kept.
char16_t toUpperUnit(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c == 0x131) return u'I';
  if (c == 0x17F) return u'S';
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x178) {
    // Pairs start on even units, except from U+0139 to U+0148 and from
    // U+0179 on.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    const bool isLower = oddUpper ? (c % 2 == 0) : (c % 2 == 1);
    return isLower ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c == 0x491) return 0x490;
  return c;
}

char16_t toLowerUnit(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c == 0x130) return u'i';
  if (c >= 0x100 && c <= 0x17E && c != 0x131 && c != 0x138 && c != 0x149) {
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    const bool isUpper = oddUpper ? (c % 2 == 1) : (c % 2 == 0);
    return isUpper ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c == 0x490) return 0x491;
  return c;
}

Value mapCase(Engine& e, std::u16string_view text, char16_t (*map)(char16_t)) {
  std::u16string out(text);
  for (char16_t& c : out) c = map(c);
  return copyString(e, out);
}

// ---- searching ----------------------------------------------------------

// The search text is converted before this string is read: the conversion
// may run script that changes it.
Value indexOf(Engine& e, const Value& me, const Args& args) {
  if (!args.has(0)) return Value::integer(-1);
  const std::u16string search = argumentText(e, args, 0);
  const std::u16string_view text = me.asString()->view();
  std::int64_t from = args.integer(1).value_or(0);
  if (from < 0) from = 0;
  if (static_cast<std::uint64_t>(from) > text.size()) return Value::integer(-1);
  const std::size_t at = text.find(search, static_cast<std::size_t>(from));
  return Value::integer(at == std::u16string_view::npos ? -1 : static_cast<std::int64_t>(at));
}

Value lastIndexOf(Engine& e, const Value& me, const Args& args) {
  if (!args.has(0)) return Value::integer(-1);
  const std::u16string search = argumentText(e, args, 0);
  const std::u16string_view text = me.asString()->view();
  if (search.size() > text.size()) return Value::integer(-1);
  const auto last = static_cast<std::int64_t>(text.size() - search.size());
  const std::int64_t from = std::min(args.integer(1).value_or(last), last);
  if (from < 0) return Value::integer(-1);
  const std::size_t at = text.rfind(search, static_cast<std::size_t>(from));
  return Value::integer(at == std::u16string_view::npos ? -1 : static_cast<std::int64_t>(at));
}

// The text up to its first zero unit, as the C library's search sees it.
std::u16string_view untilZero(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

Value search(Engine& e, const Value& me, const Args& args) {
  if (args.has(0) && isRegExp(e, args[0])) return regexpSearch(e, args[0], me);
  if (!args.has(0) || !args[0].is(Kind::String)) return Value::integer(-1);
  const std::size_t at = untilZero(me.asString()->view()).find(untilZero(args[0].asString()->view()));
  return Value::integer(at == std::u16string_view::npos ? -1 : static_cast<std::int64_t>(at));
}

Value match(Engine& e, const Value& me, const Args& args) {
  if (args.has(0) && isRegExp(e, args[0])) return regexpMatch(e, args[0], me);
  return Value::array(newArray(e));
}

// Plain replacement: the first occurrence, or every one when `all`; the
// search resumes after each replacement, so occurrences never overlap.
// An empty pattern or replacement leaves the text as it is.
Value replaceText(Engine& e, std::u16string_view text, std::u16string_view pattern,
                  std::u16string_view replacement, bool all) {
  if (text.empty()) return emptyString(e);
  if (pattern.empty() || replacement.empty()) return copyString(e, text);
  std::u16string out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(pattern, from)) != std::u16string_view::npos;) {
    out.append(text.substr(from, at - from)).append(replacement);
    from = at + pattern.size();
    if (out.size() > StringRecord::kMaxLength) raiseError(e, "Out of memory");
    if (!all) break;
  }
  out.append(text.substr(from));
  return copyString(e, out);
}

Value replace(Engine& e, const Value& me, const Args& args) {
  const Value& pattern = args[0];
  const Value& replacement = args[1];
  if (!replacement.is(Kind::String)) return emptyString(e);
  if (isRegExp(e, pattern)) return regexpReplace(e, pattern, me, replacement);
  if (!pattern.is(Kind::String)) return emptyString(e);
  return replaceText(e, me.asString()->view(), pattern.asString()->view(), replacement.asString()->view(),
                     args.boolean(2, false));
}

// ---- pieces -------------------------------------------------------------

// A position counted from the end when negative, kept within 0..length.
std::size_t fromEither(std::int64_t p, std::size_t length) {
  const auto n = static_cast<std::int64_t>(length);
  if (p < 0) p = std::max<std::int64_t>(p + n, 0);
  return static_cast<std::size_t>(std::min(p, n));
}

Value slice(Engine& e, std::u16string_view text, const Args& args) {
  const auto start = args.integer(0);
  if (!start) return emptyString(e);
  const std::size_t from = fromEither(*start, text.size());
  const auto end = args.integer(1);
  const std::size_t to = end ? std::max(fromEither(*end, text.size()), from) : text.size();
  return piece(e, text, from, to);
}

Value substr(Engine& e, std::u16string_view text, const Args& args) {
  const auto start = args.integer(0);
  if (!start) return emptyString(e);
  const std::size_t from = fromEither(*start, text.size());
  const auto rest = static_cast<std::int64_t>(text.size() - from);
  const std::int64_t count = std::clamp<std::int64_t>(args.integer(1).value_or(rest), 0, rest);
  return piece(e, text, from, from + static_cast<std::size_t>(count));
}

// The arguments are not swapped: a start beyond the end gives nothing.
Value substring(Engine& e, std::u16string_view text, const Args& args) {
  const auto start = args.integer(0);
  if (!start) return emptyString(e);
  const std::int64_t from = std::max<std::int64_t>(*start, 0);
  const std::int64_t to = std::min(args.integer(1).value_or(static_cast<std::int64_t>(text.size())),
                                   static_cast<std::int64_t>(text.size()));
  if (from > to) return emptyString(e);
  return piece(e, text, static_cast<std::size_t>(from), static_cast<std::size_t>(to));
}

Value split(Engine& e, const Value& me, const Args& args) {
  const std::u16string_view text = me.asString()->view();
  ArrayRecord* out = newArray(e);
  const auto add = [&](std::size_t from, std::size_t to) {
    out->set(e.heap(), out->length, piece(e, text, from, to));
    ++out->length;
  };
  const Value& separator = args[0];
  const bool regexp = args.has(0) && isRegExp(e, separator);
  if (!regexp && !separator.is(Kind::String)) {
    add(0, text.size());
    return Value::array(out);
  }
  const std::int64_t limit = args.integer(1).value_or(kNoLimit);
  if (regexp) return regexpSplit(e, separator, me, limit);

  const auto pieces = [&] { return static_cast<std::int64_t>(out->length); };
  const std::u16string_view sep = separator.asString()->view();
  if (sep.empty()) {
    for (std::size_t i = 0; i < text.size() && pieces() < limit; ++i) add(i, i + 1);
    return Value::array(out);
  }
  std::size_t start = 0;
  while (pieces() < limit) {
    const std::size_t at = text.find(sep, start);
    if (at == std::u16string_view::npos) break;
    add(start, at);
    start = at + sep.size();
  }
  // The rest after the last separator: a trailing separator leaves an
  // empty last piece.
  if (pieces() < limit) add(start, text.size());
  return Value::array(out);
}

// ---- markup -------------------------------------------------------------

// The tag pairs around the text, for the members Anchor to Sup in order;
// those with an attribute put the argument's text in it. Built to the
// texts' own size.
struct Markup {
  std::u16string_view open;        // up to the attribute value, or the whole tag
  std::u16string_view afterValue;  // closes the opening tag after the attribute
  std::u16string_view close;
  bool attribute;
};
constexpr Markup kMarkup[] = {
    {u"<A NAME=\"", u"\">", u"</A>", true},  {u"<BIG>", u"", u"</BIG>", false},
    {u"<BLINK>", u"", u"</BLINK>", false},     {u"<B>", u"", u"</B>", false},
    {u"<TT>", u"", u"</TT>", false},           {u"<FONT COLOR=\"", u"\">", u"</FONT>", true},
    {u"<FONT SIZE=\"", u"\">", u"</FONT>", true}, {u"<I>", u"", u"</I>", false},
    {u"<A HREF=\"", u"\">", u"</A>", true},  {u"<SMALL>", u"", u"</SMALL>", false},
    {u"<STRIKE>", u"", u"</STRIKE>", false},   {u"<SUB>", u"", u"</SUB>", false},
    {u"<SUP>", u"", u"</SUP>", false}};
static_assert(std::size(kMarkup) == Sup - Anchor + 1);

Value markup(Engine& e, const Value& me, int member, const Args& args) {
  const Markup& m = kMarkup[member - Anchor];
  // Converted first: the conversion may run script that changes this string.
  const std::u16string value = m.attribute ? argumentText(e, args, 0) : std::u16string();
  const std::u16string_view text = me.asString()->view();
  std::u16string out;
  out.reserve(m.open.size() + value.size() + m.afterValue.size() + text.size() + m.close.size());
  out.append(m.open).append(value).append(m.afterValue).append(text).append(m.close);
  return copyString(e, out);
}

Value concat(Engine& e, const Value& me, const Args& args) {
  std::u16string out(me.asString()->view());
  for (std::size_t i = 0; i < args.size(); ++i) {
    out += argumentText(e, args, i);
    if (out.size() > StringRecord::kMaxLength) raiseError(e, "Out of memory");
  }
  return copyString(e, out);
}

bool stringMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const Args args(block);
  const int member = binding::members(cls).find(atom);
  if (!self) {
    if (member == FromCharCode) {
      result = fromCharCode(e, args);
      return true;
    }
    return binding::classObjectMethod(e, cls, atom, result);
  }
  // A copy: the receiver's slot may be where the result goes.
  const Value me = *static_cast<const Value*>(self);
  if (!me.is(Kind::String)) return false;
  if (atom == kAtomToString || atom == kAtomValueOf) {
    result = me;
    return true;
  }
  const std::u16string_view text = me.asString()->view();
  switch (member) {
    case CharAt: result = charAt(e, text, args); return true;
    case CharCodeAt: result = charCodeAt(text, args); return true;
    case Concat: result = concat(e, me, args); return true;
    case FromCharCode: result = fromCharCode(e, args); return true;
    case IndexOf: result = indexOf(e, me, args); return true;
    case LastIndexOf: result = lastIndexOf(e, me, args); return true;
    case Match: result = match(e, me, args); return true;
    case Replace: result = replace(e, me, args); return true;
    case Search: result = search(e, me, args); return true;
    case Slice: result = slice(e, text, args); return true;
    case Split: result = split(e, me, args); return true;
    case Substr: result = substr(e, text, args); return true;
    case Substring: result = substring(e, text, args); return true;
    case ToLowerCase: result = mapCase(e, text, toLowerUnit); return true;
    case ToUpperCase: result = mapCase(e, text, toUpperUnit); return true;
    case Anchor: case Big: case Blink: case Bold: case Fixed: case FontColor: case FontSize:
    case Italics: case Link: case Small: case Strike: case Sub: case Sup:
      result = markup(e, me, member, args);
      return true;
    default: return false;  // "length" is a property; other names go to the string's table
  }
}

} // namespace

void registerStringClass(Engine& engine) {
  binding::registerClass(engine, {.name = "String",
                                   .members = kMembers,
                                   .call = callString,
                                   .method = stringMethod,
                                   .property = stringProperty,
                                   .construct = constructString,
                                   .objectText = "[Object String]",
                                   .kinds = {Kind::String}});
}

} // namespace plumex::script::builtins
