// RegExp: patterns compiled by Boost.Regex (Perl syntax), and the match
// state one engine shares among all its RegExp objects: the last input and
// the positions of the last match, which "$1", "lastMatch", "leftContext"
// and the other class properties read.
//
// Every search treats the remainder of the text from its start position as
// a text of its own, ending at the first NUL unit: "^" matches at the start
// position and "\b" sees no unit before it, as when a C-style search is
// handed a pointer into the middle of a string.

#include "script/builtins/regexp_class.h"

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <boost/regex.hpp>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/engine.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

constexpr int kGlobal = 1;
constexpr int kIgnoreCase = 2;
constexpr int kMultiline = 4;
constexpr int kFromConstant = 8;
// Match positions the class keeps: the whole match and groups 1 to 255.
constexpr std::size_t kMaxPairs = 256;

// UTF-16 units reach the library one for one as wchar_t (32-bit natively,
// 16-bit on Windows: both hold every unit), through an iterator that widens
// each unit as it is read. Offsets in the library's results are therefore
// unit offsets into the script's string, surrogate pairs count as two
// units as everywhere else in the engine, and no copy of the text is made.
// The iterator is random-access so that the library bounds a search's work
// by the text's length (see search below). Its char form serves ASCII
// text (see NarrowRegex).
template <class Char>
class UnitIterator {
public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = Char;
  using difference_type = std::ptrdiff_t;
  using pointer = const Char*;
  using reference = Char;

  UnitIterator() = default;
  explicit UnitIterator(const char16_t* p) : p_(p) {}

  Char operator*() const { return static_cast<Char>(*p_); }
  Char operator[](difference_type n) const { return static_cast<Char>(p_[n]); }
  UnitIterator& operator++() { ++p_; return *this; }
  UnitIterator operator++(int) { UnitIterator old = *this; ++p_; return old; }
  UnitIterator& operator--() { --p_; return *this; }
  UnitIterator operator--(int) { UnitIterator old = *this; --p_; return old; }
  UnitIterator& operator+=(difference_type n) { p_ += n; return *this; }
  UnitIterator& operator-=(difference_type n) { p_ -= n; return *this; }
  UnitIterator operator+(difference_type n) const { return UnitIterator(p_ + n); }
  UnitIterator operator-(difference_type n) const { return UnitIterator(p_ - n); }
  difference_type operator-(const UnitIterator& o) const { return p_ - o.p_; }
  bool operator==(const UnitIterator& o) const { return p_ == o.p_; }
  std::strong_ordering operator<=>(const UnitIterator& o) const { return p_ <=> o.p_; }

private:
  const char16_t* p_ = nullptr;
};

// The C library's wide-character classification and case mapping, the one
// the String class's case conversions use. Named explicitly so that both
// builds behave alike: on Windows the library would otherwise pick traits
// over the Windows locale.
using Regex = boost::basic_regex<wchar_t, boost::c_regex_traits<wchar_t>>;
// A pattern of ASCII units is also compiled for char: over ASCII text the
// two match alike (the C library classifies and maps case of ASCII the
// same either way), and a set of char is a table lookup where the library
// compares a wide unit with each range as a string.
using NarrowRegex = boost::basic_regex<char, boost::c_regex_traits<char>>;
using WideIterator = UnitIterator<wchar_t>;
using NarrowIterator = UnitIterator<char>;

// ---- the class's match state ------------------------------------------

// Class properties first, then the instance properties, then the methods.
enum Member {
  Group1, Group2, Group3, Group4, Group5, Group6, Group7, Group8, Group9,
  Underscore, Input, LastMatch, LastParen, LeftContext, RightContext,
  Multiline, Global, IgnoreCase, LastIndex, Source,
  Compile, Exec, Test
};
constexpr std::string_view kMembers[] = {
    "$1", "$2", "$3", "$4", "$5", "$6", "$7", "$8", "$9",
    "$_", "input", "lastMatch", "lastParen", "leftContext", "rightContext",
    "multiline", "global", "ignoreCase", "lastIndex", "source",
    "compile", "exec", "test"};
static_assert(std::size(kMembers) == Test + 1);

struct Span {
  std::int32_t start = -1;
  std::int32_t end = -1;
  bool matched() const { return start >= 0; }
};

// A search's result in unit offsets: pair 0 the whole match, pair n
// group n.
struct Match {
  std::vector<Span> pairs;
  std::size_t size() const { return pairs.size(); }
  const Span& operator[](std::size_t i) const { return pairs[i]; }
};

// The class data: the member atoms, and the match state of the engine. The
// collector does not trace class data, so the last input is pinned: a
// root for as long as the class lives (the class object is itself kept by
// a global, see registerRegExpClass), released with the class data.
class ClassState final : public binding::MemberAtoms {
public:
  ClassState(Engine& engine, const binding::MemberAtoms& atoms)
      : MemberAtoms(atoms), indexAtom(engine.internAnsi("index")), input_(engine, Value::undefined()) {}

  const Atom indexAtom;

  // Undefined until a first search.
  const Value& input() const { return input_.value(); }
  std::u16string_view inputText() const { return stringText(input_.value()); }

  // What every operation does first: the text becomes the last input and
  // the positions are cleared.
  void begin(const Value& text) {
    input_.set(text);
    clearSpans();
  }

  // The positions of a match found in a text starting at base: pair 0 the
  // whole match, pair n group n. A split keeps the whole match only.
  void record(const Match& m, bool wholeOnly = false) {
    clearSpans();
    const std::size_t n = wholeOnly ? 1 : std::min(m.size(), kMaxPairs);
    for (std::size_t i = 0; i < n; ++i)
      if (m[i].matched()) spans_[i] = m[i];
    used_ = n;
  }

  const Span& span(std::size_t i) const { return spans_[i]; }

  // The text of pair i in the last input, or nothing when the pair did not
  // take part. Clamped: a string may have changed since it was searched.
  std::optional<std::u16string_view> spanText(std::size_t i) const {
    const Span& s = spans_[i];
    if (!s.matched()) return std::nullopt;
    const std::u16string_view text = inputText();
    const std::size_t start = std::min<std::size_t>(static_cast<std::size_t>(s.start), text.size());
    const std::size_t end = std::clamp<std::size_t>(static_cast<std::size_t>(s.end), start, text.size());
    return text.substr(start, end - start);
  }

  // The input before the whole match, or after it; nothing without a
  // match.
  std::optional<std::u16string_view> leftContext() const {
    const std::optional<std::u16string_view> match = spanText(0);
    if (!match) return std::nullopt;
    return inputText().substr(0, static_cast<std::size_t>(match->data() - inputText().data()));
  }
  std::optional<std::u16string_view> rightContext() const {
    const std::optional<std::u16string_view> match = spanText(0);
    if (!match) return std::nullopt;
    return inputText().substr(static_cast<std::size_t>(match->data() - inputText().data()) + match->size());
  }

  // The highest group of the run of matched groups after the whole match,
  // or 0 when group 1 did not take part.
  std::size_t lastParen() const {
    std::size_t n = 0;
    while (n + 1 < kMaxPairs && spans_[n + 1].matched()) ++n;
    return n;
  }

private:
  void clearSpans() {
    std::fill(spans_.begin(), spans_.begin() + static_cast<std::ptrdiff_t>(used_), Span{});
    used_ = 0;
  }

  Pin input_;
  std::array<Span, kMaxPairs> spans_{};
  std::size_t used_ = 0;
};

ClassState& state(ClassRecord& cls) {
  return *static_cast<ClassState*>(static_cast<binding::MemberAtoms*>(cls.classData));
}

// ---- instances ----------------------------------------------------------

struct RegExpObject {
  std::u16string pattern;  // up to its first NUL, as compiled
  int flags = 0;
  Regex regex;
  std::optional<NarrowRegex> narrow;  // for ASCII patterns
  std::uint32_t lastIndex = 0;

  bool global() const { return (flags & kGlobal) != 0; }
};

bool regexpMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block);

RegExpObject* objectOf(const Value& v) {
  if (!v.is(Kind::Native) || v.asNative()->classRecord()->method != regexpMethod) return nullptr;
  return static_cast<RegExpObject*>(v.asNative()->instance());
}

std::u16string_view untilNul(std::u16string_view text) {
  return text.substr(0, std::min(text.find(u'\0'), text.size()));
}

int flagsFromText(std::u16string_view text) {
  int flags = 0;
  for (char16_t c : text) {
    if (c == u'g') flags |= kGlobal;
    else if (c == u'i') flags |= kIgnoreCase;
    else if (c == u'm') flags |= kMultiline;
  }
  return flags;
}

// Compiles with the Perl syntax, ranges by code unit (no collation). "i"
// ignores case; "m" makes "^" and "$" match at line breaks (otherwise only
// at the ends of the text) and keeps "." from matching a newline, as a
// newline-sensitive pattern does. An empty pattern compiles as "^". A
// pattern the library refuses gives nothing and the warning with the
// library's text for the error.
boost::regex_constants::syntax_option_type syntaxOf(int flags) {
  boost::regex_constants::syntax_option_type syntax = boost::regex_constants::perl;
  if (flags & kIgnoreCase) syntax |= boost::regex_constants::icase;
  if (!(flags & kMultiline)) syntax |= boost::regex_constants::no_mod_m;
  return syntax;
}

std::optional<Regex> compilePattern(Engine& e, std::u16string_view pattern, int flags) {
  if (pattern.empty()) pattern = u"^";
  const boost::regex_constants::syntax_option_type syntax = syntaxOf(flags);
  try {
    return Regex(WideIterator(pattern.data()), WideIterator(pattern.data() + pattern.size()), syntax);
  } catch (const boost::regex_error& error) {
    const boost::regex_traits_wrapper<boost::c_regex_traits<wchar_t>> traits;
    e.warn("RegExp runtime error: " + traits.error_string(error.code()));
    return std::nullopt;
  }
}

// The pattern compiled for char when it is ASCII and the library takes it
// that way too (an escape beyond a char's range, say, it does not).
std::optional<NarrowRegex> compileNarrow(std::u16string_view pattern, int flags) {
  if (pattern.empty()) pattern = u"^";
  if (std::any_of(pattern.begin(), pattern.end(), [](char16_t c) { return c >= 0x80; })) return std::nullopt;
  try {
    return NarrowRegex(NarrowIterator(pattern.data()), NarrowIterator(pattern.data() + pattern.size()),
                       syntaxOf(flags));
  } catch (const boost::regex_error&) {
    return std::nullopt;
  }
}

// A new RegExp object, or Null (after the warning) when the pattern does
// not compile.
Value newRegExp(Engine& e, ClassRecord& cls, std::u16string_view pattern, int flags) {
  pattern = untilNul(pattern);
  std::optional<Regex> regex = compilePattern(e, pattern, flags);
  if (!regex) return Value::null();
  auto object = std::make_unique<RegExpObject>();
  object->pattern = pattern;
  object->flags = flags;
  object->regex = std::move(*regex);
  object->narrow = compileNarrow(pattern, flags);
  return binding::newInstance(e, cls, std::move(object));
}

// ---- searching ----------------------------------------------------------

// One text searched once or several times by one operation.
class Searcher {
public:
  // The text of a String value (its record's facts spare a pass over it),
  // or nothing.
  explicit Searcher(const Value& input)
      : text_(stringText(input).empty() ? std::u16string_view(u"") : stringText(input)),
        record_(input.is(Kind::String) ? input.asString() : nullptr) {}

  std::u16string_view text() const { return text_; }
  std::size_t start(const Match& m) const { return static_cast<std::size_t>(m[0].start); }
  std::size_t end(const Match& m) const { return static_cast<std::size_t>(m[0].end); }
  // The text of group i, empty when it did not take part.
  std::u16string_view group(const Match& m, std::size_t i) const {
    if (i >= m.size() || !m[i].matched()) return {};
    return text_.substr(static_cast<std::size_t>(m[i].start), static_cast<std::size_t>(m[i].end - m[i].start));
  }

  // Searches the remainder from `from` (an empty remainder beyond the text)
  // up to the first NUL at or after it. The library raises when a search
  // exceeds its bounds on work (its state count, which grows with the
  // length of the remainder and the size of the pattern) or on backtracking
  // memory; such a search counts as no match, so that a catastrophic
  // pattern costs a bounded time and finds nothing.
  bool search(const RegExpObject& re, std::size_t from, Match& m) {
    const std::size_t start = std::min(from, text_.size());
    bool narrow;
    if (record_ && start <= record_->facts().firstNul) {
      // Searches start before the first NUL nearly always: what they need
      // is known without reading the text again.
      nul_ = record_->facts().firstNul;
      narrow = record_->facts().asciiBeforeNul;
    } else {
      if (start < nulFrom_ || start > nul_) {
        nulFrom_ = start;
        nul_ = std::min(text_.find(u'\0', start), text_.size());
      }
      narrow = nul_ <= asciiLength();
    }
    auto flags = boost::match_default;
    if (re.flags & kMultiline) flags |= boost::match_not_dot_newline;
    try {
      if (re.narrow && narrow)
        return find(*re.narrow, NarrowIterator(text_.data()), start, flags, m);
      return find(re.regex, WideIterator(text_.data()), start, flags, m);
    } catch (const std::runtime_error&) {
      return false;
    }
  }

private:
  template <class Iterator, class Pattern>
  bool find(const Pattern& pattern, Iterator base, std::size_t start, boost::match_flag_type flags, Match& m) {
    boost::match_results<Iterator> found;
    if (!boost::regex_search(base + static_cast<std::ptrdiff_t>(start), base + static_cast<std::ptrdiff_t>(nul_),
                             found, pattern, flags))
      return false;
    m.pairs.assign(found.size(), Span{});
    for (std::size_t i = 0; i < found.size(); ++i)
      if (found[i].matched)
        m.pairs[i] = {static_cast<std::int32_t>(found[i].first - base), static_cast<std::int32_t>(found[i].second - base)};
    return true;
  }

  // How many units from the start are ASCII; found once.
  std::size_t asciiLength() {
    if (!ascii_)
      ascii_ = static_cast<std::size_t>(
          std::find_if(text_.begin(), text_.end(), [](char16_t c) { return c >= 0x80; }) - text_.begin());
    return *ascii_;
  }

  std::u16string_view text_;
  const StringRecord* record_;
  // Past the first NUL: the first NUL at or after nulFrom_ (the text's length when none): the
  // operations search from ascending positions, so it is found once.
  std::size_t nulFrom_ = 1;
  std::size_t nul_ = 0;
  std::optional<std::size_t> ascii_;
};


// ---- the operations ------------------------------------------------------

// What "exec" and "test" share: the text (without one, the last input)
// becomes the last input and is searched from lastIndex; a global object's
// lastIndex follows the match end, or returns to 0.
bool execSearch(Engine& e, ClassState& s, RegExpObject& re, const Value* text) {
  const Value input = text ? toStringValue(e, *text) : s.input();
  s.begin(input);
  Match m;
  Searcher searcher(input);
  if (!input.is(Kind::String) || !searcher.search(re, re.lastIndex, m)) {
    if (re.global()) re.lastIndex = 0;
    return false;
  }
  s.record(m);
  if (re.global()) re.lastIndex = static_cast<std::uint32_t>(searcher.end(m));
  return true;
}

// "exec": Null, or an Array of the whole match and the groups up to the
// first that did not take part, with "index" and "input".
Value execValue(Engine& e, ClassState& s, RegExpObject& re, const Value* text) {
  if (!execSearch(e, s, re, text)) return Value::null();
  ArrayRecord* a = newArray(e);
  std::uint64_t n = 0;
  for (; n < kMaxPairs; ++n) {
    const std::optional<std::u16string_view> group = s.spanText(n);
    if (!group) break;
    a->set(e.heap(), n, copyString(e, *group));
  }
  a->length = n;
  ClassRecord* arrayClass = e.classForKind(Kind::Array);
  a->table = arrayClass && arrayClass->prototype ? newTableOver(e, arrayClass->prototype) : newTable(e);
  a->table->set(e, s.indexAtom, Value::integer(s.span(0).start));
  a->table->set(e, s[Input], s.input());
  return Value::array(a);
}

// Appends the replacement for match m, found by a search from `from`, with
// its "$" substitutions.
void substitute(Engine& e, std::u16string& out, std::u16string_view replacement, const Searcher& searcher,
                const Match& m, std::size_t from) {
  const std::u16string_view text = searcher.text();
  // A replacement may repeat "$'" and the like: the result is refused as
  // soon as it would pass the longest string, before it is built.
  auto append = [&](std::u16string_view piece) {
    if (piece.size() > StringRecord::kMaxLength - out.size()) raiseError(e, "Out of memory");
    out.append(piece);
  };
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    const char16_t c = replacement[i];
    if (c != u'$' || i + 1 == replacement.size()) {
      append({&replacement[i], 1});
      continue;
    }
    const char16_t next = replacement[i + 1];
    if (next == u'$') {
      append(u"$");
    } else if (next == u'&') {
      append(searcher.group(m, 0));
    } else if (next == u'`') {
      append(text.substr(from, searcher.start(m) - from));
    } else if (next == u'\'') {
      append(text.substr(searcher.end(m)));
    } else if (next == u'+') {
      std::size_t last = 0;
      while (last + 1 < m.size() && m[last + 1].matched()) ++last;
      if (last > 0) append(searcher.group(m, last));
    } else if (next >= u'1' && next <= u'9') {
      append(searcher.group(m, static_cast<std::size_t>(next - u'0')));
    } else {
      // Any other "$" stays as it is; the unit after it is read as usual.
      append(u"$");
      continue;
    }
    ++i;
  }
}

Value toStringText(Engine& e, const RegExpObject& re) {
  std::u16string text = u"/" + re.pattern + u"/";
  if (re.flags & kGlobal) text += u'g';
  if (re.flags & kIgnoreCase) text += u'i';
  if (re.flags & kMultiline) text += u'm';
  return copyString(e, text);
}

// "compile": a new pattern and flags (the constant bit stays); on a
// compile error the object keeps its previous pattern.
bool recompile(Engine& e, RegExpObject& re, const Args& args) {
  if (!args.has(0)) return false;
  const std::u16string_view pattern = untilNul(stringText(args[0]));
  const int flags = flagsFromText(stringText(args[1])) | (re.flags & kFromConstant);
  std::optional<Regex> regex = compilePattern(e, pattern, flags);
  if (!regex) return false;
  re.pattern = pattern;
  re.flags = flags;
  re.regex = std::move(*regex);
  re.narrow = compileNarrow(pattern, flags);
  return true;
}

// ---- hooks --------------------------------------------------------------

Value textOrNull(Engine& e, std::optional<std::u16string_view> text) {
  return text ? copyString(e, *text) : Value::null();
}

Value classProperty(Engine& e, const ClassState& s, int member) {
  switch (member) {
    case Underscore:
    case Input:
      return s.input().is(Kind::String) ? s.input() : Value::null();
    case LastMatch:
      return textOrNull(e, s.spanText(0));
    case LastParen: {
      const std::size_t last = s.lastParen();
      return last > 0 ? textOrNull(e, s.spanText(last)) : Value::null();
    }
    case LeftContext:
      return textOrNull(e, s.leftContext());
    case RightContext:
      return textOrNull(e, s.rightContext());
    default:
      return textOrNull(e, s.spanText(static_cast<std::size_t>(member - Group1 + 1)));
  }
}

bool regexpProperty(Engine& e, ClassRecord& cls, void* instance, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  const ClassState& s = state(cls);
  const int member = s.find(atom);
  if (member < 0) return false;
  if (member <= RightContext) {
    // Read on the class object or any instance; stores are ignored.
    if (!set) io = classProperty(e, s, member);
    return true;
  }
  auto* re = static_cast<RegExpObject*>(instance);
  // Methods, and the instance properties on the class object, are left to
  // the object's table.
  if (member >= Compile || !re) return false;
  if (set) {
    if (member == LastIndex && io.is(Kind::Integer)) re->lastIndex = static_cast<std::uint32_t>(io.integerValue());
    return true;
  }
  switch (member) {
    case Multiline: io = Value::boolean(re->flags & kMultiline); break;
    case Global: io = Value::boolean(re->flags & kGlobal); break;
    case IgnoreCase: io = Value::boolean(re->flags & kIgnoreCase); break;
    case LastIndex: io = Value::integer(re->lastIndex); break;
    case Source: io = copyString(e, re->pattern); break;
  }
  return true;
}

bool regexpMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  if (!self) return binding::classObjectMethod(e, cls, atom, result);
  RegExpObject& re = *static_cast<RegExpObject*>(self);
  if (atom == kAtomToString) {
    result = toStringText(e, re);
    return true;
  }
  ClassState& s = state(cls);
  const Args args(block);
  const Value* text = args.has(0) ? &args[0] : nullptr;
  switch (s.find(atom)) {
    case Exec: result = execValue(e, s, re, text); return true;
    case Test: result = Value::boolean(execSearch(e, s, re, text)); return true;
    case Compile: result = Value::boolean(recompile(e, re, args)); return true;
    default: return false;
  }
}

void constructRegExp(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const Args args(block);
  // A pattern that is not a String is the empty pattern; flags that are
  // not a String are none.
  result = newRegExp(e, cls, stringText(args[0]), flagsFromText(stringText(args[1])));
}

// The class object called constructs; a RegExp object called performs
// "exec".
void callRegExp(Engine& e, ClassRecord& cls, void* instance, Value& result, ArgBlock block) {
  if (!instance) {
    constructRegExp(e, cls, block, result);
    return;
  }
  const Args args(block);
  result = execValue(e, state(cls), *static_cast<RegExpObject*>(instance), args.has(0) ? &args[0] : nullptr);
}

// The class object is also held by a global that no script can name, so
// that the constants of modules loaded after a script replaced the global
// "RegExp" still become RegExp objects, and the class (with the last input
// it pins) lives as long as the engine.
constexpr std::string_view kConstantClassGlobal = "RegExp class of constants";

Value makeFromConstant(Engine& e, std::u16string_view pattern, int flags) {
  const Value& keeper = e.global(e.internAnsi(kConstantClassGlobal));
  if (!keeper.is(Kind::Native)) return Value::null();
  return newRegExp(e, *keeper.asNative()->classRecord(), pattern,
                   (flags & (kGlobal | kIgnoreCase | kMultiline)) | kFromConstant);
}

// The RegExp object and its class's state, for the String operations.
struct Target {
  RegExpObject* re;
  ClassState* state;
};

Target targetOf(const Value& regexp) {
  RegExpObject* re = objectOf(regexp);
  return {re, re ? &state(*regexp.asNative()->classRecord()) : nullptr};
}

} // namespace

void registerRegExpClass(Engine& engine) {
  ClassRecord& cls = binding::registerClass(engine, {.name = "RegExp",
                                                     .members = kMembers,
                                                     .call = callRegExp,
                                                     .method = regexpMethod,
                                                     .property = regexpProperty,
                                                     .construct = constructRegExp,
                                                     .finalizeInstance = binding::deleteInstance<RegExpObject>,
                                                     .objectText = "[Object RegExp]"});
  // The class data grows by the match state.
  auto data = std::make_unique<ClassState>(engine, binding::members(cls));
  cls.freeClassData(cls.classData);
  cls.classData = static_cast<binding::MemberAtoms*>(data.release());
  cls.freeClassData = [](void* d) { delete static_cast<ClassState*>(static_cast<binding::MemberAtoms*>(d)); };

  const Atom keeper = engine.internAnsi(kConstantClassGlobal);
  const Value object = engine.global(state(cls).className());
  engine.global(keeper) = object;
  engine.vm.makeRegExp = makeFromConstant;
}

bool isRegExp(Engine&, const Value& v) { return objectOf(v) != nullptr; }

Value regexpMatch(Engine& engine, const Value& regexp, const Value& text) {
  const Target t = targetOf(regexp);
  if (!t.re) return Value::null();
  if (!t.re->global()) return execValue(engine, *t.state, *t.re, &text);
  const Value input = toStringValue(engine, text);
  t.state->begin(input);
  Searcher searcher(input);
  ArrayRecord* out = newArray(engine);
  std::uint64_t n = 0;
  Match m;
  RegExpObject& re = *t.re;
  re.lastIndex = 0;
  // "exec" repeated; a lastIndex left where it was moves on by one unit. A
  // search from beyond the text could only repeat the empty match at its
  // end, so the loop ends there.
  while (re.lastIndex <= searcher.text().size()) {
    const std::uint32_t before = re.lastIndex;
    if (!searcher.search(re, before, m)) break;
    t.state->record(m);
    out->set(engine.heap(), n++, copyString(engine, searcher.group(m, 0)));
    re.lastIndex = static_cast<std::uint32_t>(searcher.end(m));
    if (re.lastIndex == before) ++re.lastIndex;
  }
  re.lastIndex = 0;
  out->length = n;
  return Value::array(out);
}

Value regexpSearch(Engine& engine, const Value& regexp, const Value& text) {
  const Target t = targetOf(regexp);
  if (!t.re) return Value::null();
  const Value input = toStringValue(engine, text);
  t.state->begin(input);
  Searcher searcher(input);
  Match m;
  if (!searcher.search(*t.re, t.re->lastIndex, m)) {
    if (t.re->global()) t.re->lastIndex = 0;
    return Value::integer(-1);
  }
  t.state->record(m);
  if (t.re->global()) t.re->lastIndex = static_cast<std::uint32_t>(searcher.end(m));
  return Value::integer(static_cast<std::int64_t>(searcher.start(m)));
}

Value regexpReplace(Engine& engine, const Value& regexp, const Value& text, const Value& replacement) {
  const Target t = targetOf(regexp);
  if (!t.re) return Value::null();
  const Value input = toStringValue(engine, text);
  t.state->begin(input);  // pinned before the next conversion may run script
  const Value with = toStringValue(engine, replacement);
  RegExpObject& re = *t.re;
  Searcher searcher(input);
  const std::u16string_view whole = searcher.text();
  std::size_t pos = re.global() ? 0 : std::min<std::size_t>(re.lastIndex, whole.size());
  std::u16string out(whole.substr(0, pos));
  Match m;
  while (pos <= whole.size() && searcher.search(re, pos, m)) {
    t.state->record(m);
    const std::size_t start = searcher.start(m), end = searcher.end(m);
    out.append(whole.substr(pos, start - pos));
    if (start == end) {
      // An empty match replaces nothing: the unit at it is kept.
      if (start < whole.size()) out.push_back(whole[start]);
      pos = start + 1;
    } else {
      substitute(engine, out, stringText(with), searcher, m, pos);
      pos = end;
    }
    if (!re.global()) break;
  }
  if (re.global()) re.lastIndex = 0;
  if (pos < whole.size()) out.append(whole.substr(pos));
  return copyString(engine, out);
}

Value regexpSplit(Engine& engine, const Value& regexp, const Value& text, std::int64_t limit) {
  const Target t = targetOf(regexp);
  if (!t.re) return Value::null();
  const Value input = toStringValue(engine, text);
  t.state->begin(input);
  Searcher searcher(input);
  const std::u16string_view whole = searcher.text();
  ArrayRecord* out = newArray(engine);
  std::int64_t n = 0;
  auto add = [&](std::size_t from, std::size_t to) {
    out->set(engine.heap(), static_cast<std::uint64_t>(n++), copyString(engine, whole.substr(from, to - from)));
  };
  // Each search starts at the search position as a text of its own, so "^"
  // matches at every piece start. An empty match at the piece start moves
  // the search on by one unit; one further on ends the piece there.
  std::size_t piece = 0, pos = 0;
  Match m;
  while (n < limit && pos < whole.size() && searcher.search(*t.re, pos, m)) {
    t.state->record(m, true);
    const std::size_t start = searcher.start(m), end = searcher.end(m);
    if (start == end && start == piece) {
      pos = piece + 1;
      continue;
    }
    add(piece, start);
    piece = pos = end;
  }
  if (n < limit) add(piece, whole.size());
  out->length = static_cast<std::uint64_t>(n);
  return Value::array(out);
}

} // namespace plumex::script::builtins
