// Regular expressions over arbitrary patterns and texts: scripts build
// patterns from what users type. Compiling either gives a RegExp object or
// the warning; every operation ends (runaway backtracking is cut off by the
// library's bounds on work and counts as no match) and gives results that
// agree with the text searched.
//
// Input: a flag byte (g 1, i 2, m 4; the high bits pick a split limit), the
// pattern's length in units, the pattern, then the text. A byte is a unit,
// except that 0xFF takes the next two bytes as one unit (little-endian), so
// that NUL, surrogates and units beyond Latin-1 occur too.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "script/builtins/builtins.h"
#include "script/builtins/regexp_class.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

using namespace plumex::script;

namespace {

constexpr std::size_t kMaxPattern = 256;
constexpr std::size_t kMaxText = 256;

class Units {
public:
  Units(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  std::uint8_t byte() { return empty() ? 0 : *p_++; }
  std::u16string take(std::size_t count) {
    std::u16string out;
    while (out.size() < count && !empty()) {
      const std::uint8_t b = byte();
      if (b != 0xFF) {
        out.push_back(b);
      } else {
        const std::uint8_t low = byte();
        out.push_back(static_cast<char16_t>(low | byte() << 8));
      }
    }
    return out;
  }

private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

std::u16string_view textOf(const Value& v) {
  FUZZ_CHECK(v.is(Kind::String));
  return v.asString()->view();
}

// A class property read through the hook, as scripts read it.
Value classProperty(Engine& e, const Value& regexp, std::string_view name) {
  ClassRecord& cls = *regexp.asNative()->classRecord();
  Value io;
  FUZZ_CHECK(cls.property(e, cls, regexp.asNative()->instance(), e.internAnsi(name), false, io));
  return io;
}

Value callMethod(Engine& e, const Value& regexp, std::string_view name, std::initializer_list<Value> args) {
  ClassRecord& cls = *regexp.asNative()->classRecord();
  std::vector<Value> block{Value::integer(static_cast<std::int64_t>(args.size()))};
  block.insert(block.end(), args.begin(), args.end());
  Value result;
  FUZZ_CHECK(cls.method(e, cls, regexp.asNative()->instance(), e.internAnsi(name), result, ArgBlock{block.data()}));
  return result;
}

// The exec result agrees with the text and with the class properties.
void checkExec(Engine& e, const Value& regexp, const Value& result, std::u16string_view text) {
  if (result.is(Kind::Null)) {
    FUZZ_CHECK(classProperty(e, regexp, "lastMatch").is(Kind::Null));
    return;
  }
  FUZZ_CHECK(result.is(Kind::Array));
  const ArrayRecord& a = *result.asArray();
  FUZZ_CHECK(a.length >= 1 && a.length <= 256);
  const Value* index = a.table->lookup(e.internAnsi("index"));
  FUZZ_CHECK(index && index->is(Kind::Integer));
  const std::u16string_view match = textOf(*a.get(0));
  const auto at = static_cast<std::size_t>(index->integerValue());
  FUZZ_CHECK(at <= text.size() && text.substr(at, match.size()) == match);
  FUZZ_CHECK(textOf(classProperty(e, regexp, "lastMatch")) == match);
  std::u16string whole(textOf(classProperty(e, regexp, "leftContext")));
  whole += match;
  whole += textOf(classProperty(e, regexp, "rightContext"));
  FUZZ_CHECK(whole == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > plumex::fuzz::kMaxInput) return 0;
  Units in(data, size);
  const std::uint8_t flagByte = in.byte();
  const std::u16string pattern = in.take(std::min<std::size_t>(in.byte(), kMaxPattern));
  const std::u16string text = in.take(kMaxText);
  const int flags = flagByte & 7;
  const std::int64_t limit = flagByte >> 3;

  std::vector<std::string> warnings;
  auto engine = Engine::create({}, [](Engine& e) {
    builtins::registerRegExpClass(e);
    builtins::registerArrayClass(e);
  });
  FUZZ_CHECK(engine);
  Engine& e = *engine;
  e.setWarningSink([](void* w, std::string_view line) { static_cast<std::vector<std::string>*>(w)->emplace_back(line); },
                   &warnings);

  // Nothing below runs script or collects, so the values need no roots.
  FUZZ_CHECK(runProtected(e, [&] {
    const Value re = e.vm.makeRegExp(e, pattern, flags);
    if (re.is(Kind::Null)) {
      FUZZ_CHECK(warnings.size() == 1 && warnings[0].rfind("RegExp runtime error: ", 0) == 0);
      return;
    }
    FUZZ_CHECK(warnings.empty() && builtins::isRegExp(e, re));
    const Value subject = copyString(e, text);

    checkExec(e, re, callMethod(e, re, "exec", {subject}), text);
    const Value matched = builtins::regexpMatch(e, re, subject);
    if (flags & 1) {
      // Every whole match, each a piece of the text.
      FUZZ_CHECK(matched.is(Kind::Array) && matched.asArray()->length <= text.size() + 1);
      matched.asArray()->forEach([&](std::uint64_t, const Value& v) {
        FUZZ_CHECK(text.find(textOf(v)) != std::u16string_view::npos);
      });
    } else {
      checkExec(e, re, matched, text);
    }

    // Replacing every match by itself gives the text back.
    FUZZ_CHECK(textOf(builtins::regexpReplace(e, re, subject, makeStaticString(e, u"$&"))) == text);
    textOf(builtins::regexpReplace(e, re, subject, makeStaticString(e, u"<$`$'$+$1$$>")));

    const Value found = builtins::regexpSearch(e, re, subject);
    FUZZ_CHECK(found.is(Kind::Integer) && found.integerValue() >= -1 &&
               found.integerValue() <= static_cast<std::int64_t>(text.size()));

    const Value pieces = builtins::regexpSplit(e, re, subject, limit);
    FUZZ_CHECK(pieces.is(Kind::Array) && pieces.asArray()->length <= static_cast<std::uint64_t>(limit));
    std::size_t total = 0;
    pieces.asArray()->forEach([&](std::uint64_t, const Value& v) { total += textOf(v).size(); });
    FUZZ_CHECK(total <= text.size());

    // An ASCII pattern over ASCII text takes the char matcher; with an
    // alternative that holds a unit beyond ASCII and never matches, the
    // same pattern takes the wide one, and finds the same.
    auto ascii = [](std::u16string_view s) { return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; }); };
    if (ascii(pattern) && ascii(text) && pattern.find(u"\\Q") == std::u16string::npos) {
      const Value wide = e.vm.makeRegExp(e, u"(?:" + pattern + u")|\u00e9(?!)", flags);
      warnings.clear();
      if (!wide.is(Kind::Null)) {
        const Value narrow = e.vm.makeRegExp(e, pattern, flags);
        const Value narrowReplaced = builtins::regexpReplace(e, narrow, subject, makeStaticString(e, u"<$&|$1|$`>"));
        const Value wideReplaced = builtins::regexpReplace(e, wide, subject, makeStaticString(e, u"<$&|$1|$`>"));
        FUZZ_CHECK(textOf(narrowReplaced) == textOf(wideReplaced));
        FUZZ_CHECK(builtins::regexpSearch(e, narrow, subject).integerValue() ==
                   builtins::regexpSearch(e, wide, subject).integerValue());
      }
    }

    // "compile" with the same pattern and flags succeeds again. (Only with
    // the same: "[a-O]" is a range in reverse, unless case is ignored.)
    std::u16string letters;
    if (flags & 1) letters += u'g';
    if (flags & 2) letters += u'i';
    if (flags & 4) letters += u'm';
    const Value again = callMethod(e, re, "compile", {copyString(e, pattern), copyString(e, letters)});
    FUZZ_CHECK(again.is(Kind::Boolean) && again.booleanValue() && warnings.empty());
  }));
  return 0;
}
