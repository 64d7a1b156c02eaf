// Math and Date through scripts, with the local time zone pinned where a
// test depends on it; the date-text reader and the random generator also
// directly.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/time_zone.h"
#include "script/builtins/builtins.h"
#include "script/builtins/date_time.h"
#include "script/builtins/random48.h"
#include "script/values/conversions.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::script::builtins {
namespace {

int pinnedBias = 0;

class MathDate : public ::testing::Test {
public:
  MathDate() { start(); }

  // A new engine; with a bias, Date takes that zone instead of the
  // system's.
  void start(std::optional<int> biasMinutes = std::nullopt) {
    engine_.reset();
    if (biasMinutes) {
      pinnedBias = *biasMinutes;
      date::setBiasSource([] { return pinnedBias; });
    }
    vm::EngineSetup setup;
    setup.registerClasses = [](Engine& e) {
      registerObjectClass(e);
      registerFunctionClass(e);
      registerArrayClass(e);
      registerMathClass(e);
      registerDateClass(e);
    };
    engine_ = vm::createEngine(setup);
    date::setBiasSource(nullptr);
    ASSERT_TRUE(engine_);
    engine_->setWarningSink(
        [](void* data, std::string_view text) {
          static_cast<std::vector<std::string>*>(data)->emplace_back(text);
        },
        &warnings_);
  }

  Value run(std::string_view source) {
    warnings_.clear();
    EXPECT_TRUE(vm::runText(*engine_, source)) << source << ": " << engine_->errorText();
    return engine_->result;
  }
  std::string text(std::string_view source) {
    const Value v = run(source);
    return utf16ToAnsi(toStringValue(*engine_, v).asString()->view());
  }
  std::int64_t integer(std::string_view source) {
    const Value v = run(source);
    EXPECT_TRUE(v.is(Kind::Integer)) << source << " gives kind " << static_cast<int>(v.kind);
    return v.integerValue();
  }

  // Milliseconds since 1970 now, as Date reads the clock.
  static std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  }

  std::unique_ptr<Engine> engine_;
  std::vector<std::string> warnings_;
};

// ---- Math ----

struct Expected {
  Kind kind;
  double value = 0;
};

TEST_F(MathDate, MathFunctionKindsAndEdges) {
  const double inf = INFINITY;
  struct Case {
    const char* source;
    Expected expected;
  } cases[] = {
      {"Math.abs(-3)", {Kind::Float, 3}},
      {"Math.abs('-2.5')", {Kind::Float, 2.5}},
      {"Math.floor(-2.5)", {Kind::Float, -3}},
      {"Math.ceil(-2.5)", {Kind::Float, -2}},
      {"Math.sqrt(-1)", {Kind::NaN}},
      {"Math.abs()", {Kind::NaN}},
      {"Math.abs('x')", {Kind::NaN}},
      {"Math.abs(null)", {Kind::Float, 0}},
      {"Math.atan2(1)", {Kind::NaN}},
      {"Math.atan2(1, -1)", {Kind::Float, std::atan2(1.0, -1.0)}},
      {"Math.max(1, 5, 3)", {Kind::Float, 5}},
      {"Math.min(4, '2', 3)", {Kind::Float, 2}},
      {"Math.max(-7)", {Kind::Float, -7}},
      {"Math.max()", {Kind::NaN}},
      {"Math.min()", {Kind::NaN}},
      {"Math.max(1, 'x', 3)", {Kind::NaN}},
      {"Math.pow(2, 10)", {Kind::Integer, 1024}},
      {"Math.pow(-3, 3)", {Kind::Integer, -27}},
      {"Math.pow(2, 52)", {Kind::Integer, 4503599627370496.0}},
      {"Math.pow(2, 53)", {Kind::Float, 9007199254740992.0}},
      {"Math.pow(2, 0.5)", {Kind::Float, std::sqrt(2.0)}},
      {"Math.pow(2.0, 2)", {Kind::Float, 4}},
      {"Math.pow(2, -1)", {Kind::Float, 0.5}},
      {"Math.pow(2)", {Kind::NaN}},
      {"Math.round(2.5)", {Kind::Integer, 3}},
      {"Math.round(-2.5)", {Kind::Integer, -2}},
      {"Math.round(-2.6)", {Kind::Integer, -3}},
      {"Math.round('7.4')", {Kind::Integer, 7}},
      // Cut to 32 bits and sign-extended.
      {"Math.round(1099511627776.4)", {Kind::Integer, 0}},
      {"Math.round(2147483648.2)", {Kind::Integer, -2147483648.0}},
      {"Math.round(-4294967295.7)", {Kind::Integer, 0}},
      {"Math.round(4294967301.6)", {Kind::Integer, 6}},
      {"Math.round(4294967297)", {Kind::Integer, 1}},
      {"Math.round(Math.exp(1000))", {Kind::Float, inf}},
      {"Math.round(-Math.exp(1000))", {Kind::Float, -inf}},
      {"Math.round()", {Kind::NaN}},
  };
  for (const Case& c : cases) {
    const Value v = run(c.source);
    ASSERT_EQ(v.kind, c.expected.kind) << c.source;
    if (v.is(Kind::Integer)) {
      EXPECT_EQ(v.integerValue(), static_cast<std::int64_t>(c.expected.value)) << c.source;
    } else if (v.is(Kind::Float)) {
      EXPECT_EQ(v.floatValue(), c.expected.value) << c.source;
    }
  }
}

TEST_F(MathDate, EachUnaryFunctionIsTheLibraryFunctionOfItsName) {
  struct Case {
    const char* name;
    double (*f)(double);
  } cases[] = {
      {"abs", std::fabs}, {"acos", std::acos}, {"asin", std::asin},   {"atan", std::atan},
      {"ceil", std::ceil}, {"cos", std::cos},  {"exp", std::exp},     {"floor", std::floor},
      {"log", std::log},  {"sin", std::sin},   {"sqrt", std::sqrt},   {"tan", std::tan},
  };
  for (const Case& c : cases) {
    for (const double x : {0.3, -0.7}) {
      const Value v = run("Math." + std::string(c.name) + "(" + std::to_string(x) + ")");
      const double expected = c.f(x);
      if (std::isnan(expected)) {
        EXPECT_TRUE(v.is(Kind::NaN)) << c.name << "(" << x << ")";
      } else {
        ASSERT_TRUE(v.is(Kind::Float)) << c.name;
        EXPECT_EQ(v.floatValue(), expected) << c.name << "(" << x << ")";
      }
    }
  }
}

TEST_F(MathDate, MathConstantsAreReadOnlyFloats) {
  struct Case {
    const char* name;
    double value;
  } cases[] = {
      {"E", 2.718281828459045},      {"LN10", 2.302585092994046},  {"LN2", 0.6931471805599453},
      {"LOG10E", 0.4342944819032518}, {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
      {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951},
  };
  for (const Case& c : cases) {
    const std::string name = "Math." + std::string(c.name);
    const Value v = run(name + " = 1; " + name);
    ASSERT_TRUE(v.is(Kind::Float)) << c.name;
    EXPECT_EQ(v.floatValue(), c.value) << c.name;
  }
  EXPECT_EQ(std::exp(1.0), run("Math.E").floatValue());
  EXPECT_TRUE(run("Math.sqrt").is(Kind::Undefined));
}

TEST_F(MathDate, MathIsNeitherCallableNorConstructible) {
  EXPECT_EQ(text("Math.toString()"), "[object Math]");
  EXPECT_EQ(text("'' + Math"), "[object Math]");
  EXPECT_TRUE(run("new Math()").is(Kind::Null));
  EXPECT_EQ(warnings_, std::vector<std::string>{"Warning: invalid constructor"});
  run("Math(1)");
  EXPECT_EQ(warnings_, std::vector<std::string>{"Warning: call a undefined function"});
  run("Math.cbrt(8)");
  EXPECT_EQ(warnings_, std::vector<std::string>{"Warning: unknown method \"cbrt\""});
}

#ifndef _WIN32
TEST(Random48, FollowsTheCLibrarysDrand48) {
  for (const std::uint32_t seed : {0u, 1u, 12345u, 0x80000000u, 0xFFFFFFFFu}) {
    seedRandom48(seed);
    srand48(static_cast<long>(seed));
    for (int i = 0; i < 20; ++i) ASSERT_EQ(nextRandom48(), drand48()) << "seed " << seed << " value " << i;
  }
}
#endif

TEST_F(MathDate, RandomIsTheGeneratorsSequenceSeededAtRegistration) {
  // Seeded with the time in seconds while the class was registered.
  const auto before = static_cast<std::uint32_t>(std::time(nullptr));
  start();
  const auto after = static_cast<std::uint32_t>(std::time(nullptr));
  const double first = run("Math.random()").floatValue();
  bool seededThen = false;
  for (std::uint32_t s = before; s <= after && !seededThen; ++s) {
    seedRandom48(s);
    seededThen = nextRandom48() == first;
  }
  EXPECT_TRUE(seededThen);

  seedRandom48(42);
  std::vector<double> expected;
  for (int i = 0; i < 3; ++i) expected.push_back(nextRandom48());
  seedRandom48(42);
  for (const double x : expected) EXPECT_EQ(run("Math.random()").floatValue(), x);

  double lowest = 1, highest = 0;
  for (int i = 0; i < 2000; ++i) {
    const double x = nextRandom48();
    ASSERT_GE(x, 0.0);
    ASSERT_LT(x, 1.0);
    lowest = std::min(lowest, x);
    highest = std::max(highest, x);
  }
  EXPECT_LT(lowest, 0.01);
  EXPECT_GT(highest, 0.99);
}

// ---- Date ----

// The calendar fields "year,month,date,hours,minutes,seconds,ms" of the
// date in d, local or UTC.
std::string localFields(const std::string& d) {
  return "[" + d + ".getFullYear(), " + d + ".getMonth(), " + d + ".getDate(), " + d + ".getHours(), " + d +
         ".getMinutes(), " + d + ".getSeconds(), " + d + ".getMilliseconds()]";
}
std::string utcFields(const std::string& d) {
  return "[" + d + ".getUTCFullYear(), " + d + ".getUTCMonth(), " + d + ".getUTCDate(), " + d +
         ".getUTCHours(), " + d + ".getUTCMinutes(), " + d + ".getUTCSeconds(), " + d +
         ".getUTCMilliseconds()]";
}

struct SetterCase {
  const char* call;
  const char* fields;
};

// Each call on a new date made by `from`, in a zone east and a zone west:
// the fields read back, and the call's result is the new time value.
void expectSetters(MathDate& t, const char* from, std::string (*fields)(const std::string&),
                   std::span<const SetterCase> cases) {
  for (const int bias : {-60, 300}) {
    t.start(bias);
    for (const SetterCase& c : cases) {
      const std::string d = "d = " + std::string(from) + "; r = d." + c.call + "; ";
      EXPECT_EQ(t.text(d + fields("d")), c.fields) << c.call << " in zone " << bias;
      EXPECT_EQ(t.integer(d + "r - d.getTime()"), 0) << c.call;
    }
  }
}

TEST_F(MathDate, CalendarRoundTripsThroughUTC) {
  struct Case {
    const char* args;
    std::int64_t time;
    const char* fields;  // as the UTC getters read them back
    int weekDay;
  } cases[] = {
      {"1970, 0, 1", 0, "1970,0,1,0,0,0,0", 4},
      {"1969, 11, 31, 23, 59, 59, 999", -1, "1969,11,31,23,59,59,999", 3},
      {"2003, 0, 2, 10, 20, 30, 456", 1041502830456, "2003,0,2,10,20,30,456", 4},
      {"2000, 1, 29", 951782400000, "2000,1,29,0,0,0,0", 2},
      {"2000, 1, 30", 951868800000, "2000,2,1,0,0,0,0", 3},
      {"1900, 1, 29", -2203891200000, "1900,2,1,0,0,0,0", 4},
      {"2100, 1, 29", 4107542400000, "2100,2,1,0,0,0,0", 1},
      {"2003, 13, 1", 1075593600000, "2004,1,1,0,0,0,0", 0},
      {"2003, -1, 1", 1038700800000, "2002,11,1,0,0,0,0", 0},
      {"1, 0, 1", -62135596800000, "1,0,1,0,0,0,0", 1},
      {"0, 0, 1", -62167219200000, "0,0,1,0,0,0,0", 6},
      {"-10, 0, 1", -62482752000000, "-10,0,1,0,0,0,0", 1},
      {"275760, 8, 13", 8640000000000000, "275760,8,13,0,0,0,0", 6},
      {"-271821, 3, 20", -8640000000000000, "-271821,3,20,0,0,0,0", 2},
      // Floats are floored, other kinds keep the default.
      {"2003.7, 0.9, 5.5", 1041724800000, "2003,0,5,0,0,0,0", 0},
      {"2003, null, 5", 1041724800000, "2003,0,5,0,0,0,0", 0},
      {"'x', 'y'", 0, "1970,0,1,0,0,0,0", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(integer("Date.UTC(" + std::string(c.args) + ")"), c.time) << c.args;
    const std::string d = "d = new Date(Date.UTC(" + std::string(c.args) + ")); ";
    EXPECT_EQ(text(d + utcFields("d")), c.fields) << c.args;
    EXPECT_EQ(integer(d + "d.getUTCDay()"), c.weekDay) << c.args;
  }
  // Beyond the clip a time value becomes 0.
  EXPECT_EQ(integer("Date.UTC(275760, 8, 13, 0, 0, 0, 1)"), 0);
  EXPECT_EQ(integer("Date.UTC(Math.exp(1000), 0)"), 0);
}

TEST_F(MathDate, ConstructionForms) {
  start(-60);
  EXPECT_EQ(integer("new Date(1041502830456).getTime()"), 1041502830456);
  EXPECT_EQ(integer("new Date(1041502830456.7).valueOf()"), 1041502830456);
  EXPECT_EQ(integer("new Date(-8.64e15).getTime()"), -8640000000000000);
  EXPECT_EQ(integer("new Date(8640000000000001).getTime()"), 0);
  EXPECT_EQ(integer("new Date(Math.exp(1000)).getTime()"), 0);
  // Components are local time.
  EXPECT_EQ(text("d = new Date(2000, 0, 1); [d.getFullYear(), d.getMonth(), d.getDate()]"), "2000,0,1");
  EXPECT_EQ(integer("new Date(2000, 0, 1).getTime() - Date.UTC(2000, 0, 1)"), -3600000);
  EXPECT_EQ(text(localFields("new Date(2003, 0, 2, 10, 20, 30, 456)")), "2003,0,2,10,20,30,456");
  EXPECT_EQ(integer("new Date(2003.9, 'x').getTime() - new Date(2003, 0).getTime()"), 0);
  EXPECT_EQ(integer("new Date(300000, 0).getTime()"), 0);
  EXPECT_EQ(integer("new Date('Jan 2, 2003 10:20:30 GMT+0100').getUTCHours()"), 9);
  EXPECT_EQ(text("typeof new Date()"), "object");
  EXPECT_EQ(text("typeof Date()"), "string");

  // These hold the current time.
  for (const char* source : {"new Date().getTime()", "new Date('no date at all').getTime()",
                             "new Date(null).getTime()", "new Date(0/0).getTime()"}) {
    const std::int64_t before = nowMs();
    const std::int64_t t = integer(source);
    EXPECT_GE(t, before) << source;
    EXPECT_LE(t, nowMs()) << source;
  }
  // Called as a function: the current time as text, to the second.
  const std::int64_t before = nowMs() / 1000 * 1000;
  const std::int64_t t = integer("Date.parse(Date())");
  EXPECT_GE(t, before);
  EXPECT_LE(t, nowMs());
}

TEST_F(MathDate, LocalGettersAndTextsUnderZones) {
  struct Case {
    int bias;
    const char* fields;  // local, then getDay, getTimezoneOffset
    const char* text;
  } cases[] = {
      {0, "2003,0,2,10,20,30,456,4,0", "Thu Jan 02 10:20:30 GMT+000 2003"},
      {-60, "2003,0,2,11,20,30,456,4,-60", "Thu Jan 02 11:20:30 GMT+100 2003"},
      {300, "2003,0,2,5,20,30,456,4,300", "Thu Jan 02 05:20:30 GMT-500 2003"},
      {-330, "2003,0,2,15,50,30,456,4,-330", "Thu Jan 02 15:50:30 GMT+530 2003"},
      {210, "2003,0,2,6,50,30,456,4,210", "Thu Jan 02 06:50:30 GMT-330 2003"},
      {660, "2003,0,1,23,20,30,456,3,660", "Wed Jan 01 23:20:30 GMT-1100 2003"},
      {-840, "2003,0,3,0,20,30,456,5,-840", "Fri Jan 03 00:20:30 GMT+1400 2003"},
  };
  for (const Case& c : cases) {
    start(c.bias);
    const std::string d = "d = new Date(1041502830456); ";
    EXPECT_EQ(text(d + "a = " + localFields("d") + "; a[7] = d.getDay(); a[8] = d.getTimezoneOffset(); a"),
              c.fields)
        << c.bias;
    EXPECT_EQ(text(d + "d.toString()"), c.text) << c.bias;
    EXPECT_EQ(text(d + "d.toLocaleString()"), c.text) << c.bias;
    EXPECT_EQ(text(d + "d.toGMTString()"), "Thu, 02 Jan 2003 10:20:30 GMT") << c.bias;
    EXPECT_EQ(text(d + utcFields("d")), "2003,0,2,10,20,30,456") << c.bias;
    // The texts read back as the same second.
    EXPECT_EQ(integer(d + "Date.parse(d.toString())"), 1041502830000) << c.bias;
    EXPECT_EQ(integer(d + "Date.parse(d.toGMTString())"), 1041502830000) << c.bias;
  }
}

TEST_F(MathDate, YearsBeforeChristAndGetYear) {
  start(0);
  EXPECT_EQ(text("new Date(-10, 0, 1).toString()"), "Mon Jan 01 00:00:00 GMT+000 0011 B.C.");
  EXPECT_EQ(text("new Date(-10, 0, 1).toGMTString()"), "Mon, 01 Jan 0011 00:00:00 GMT B.C.");
  EXPECT_EQ(text("new Date(0, 0, 1).toString()"), "Sat Jan 01 00:00:00 GMT+000 0001 B.C.");
  EXPECT_EQ(text("new Date(1, 0, 1).toString()"), "Mon Jan 01 00:00:00 GMT+000 0001");
  EXPECT_EQ(text("new Date(275760, 8, 13).toGMTString()"), "Sat, 13 Sep 275760 00:00:00 GMT");
  struct Case {
    int year;
    std::int64_t getYear;
  } cases[] = {{1999, 99}, {1900, 0}, {1899, 1899}, {2000, 2000}, {2005, 2005}, {-5, -5}};
  for (const Case& c : cases)
    EXPECT_EQ(integer("new Date(" + std::to_string(c.year) + ", 5, 1).getYear()"), c.getYear) << c.year;
  EXPECT_EQ(text("Date.toString()"), "[object Date]");
  EXPECT_EQ(text("'' + Date"), "[object Date]");
}

TEST_F(MathDate, SettersKeepLocalTimeInEveryZone) {
  // From Wednesday 15 January 2003, 10:20:30.400 local time; the local
  // fields afterwards.
  const SetterCase cases[] = {
      {"setMilliseconds(1500)", "2003,0,15,10,20,31,500"},
      {"setSeconds(75, 5)", "2003,0,15,10,21,15,5"},
      {"setSeconds(5, 'x')", "2003,0,15,10,20,5,400"},
      {"setMinutes(5, 6, 7)", "2003,0,15,10,5,6,7"},
      {"setHours(25)", "2003,0,16,1,20,30,400"},
      {"setHours(1, 'x', 2)", "2003,0,15,1,20,2,400"},
      {"setHours(-1)", "2003,0,14,23,20,30,400"},
      {"setDate(0)", "2002,11,31,10,20,30,400"},
      {"setDate(31.9)", "2003,0,31,10,20,30,400"},
      {"setMonth(13)", "2004,1,15,10,20,30,400"},
      {"setMonth(1, 30)", "2003,2,2,10,20,30,400"},
      {"setFullYear(2004, 1, 29)", "2004,1,29,10,20,30,400"},
      {"setYear(99)", "1999,0,15,10,20,30,400"},
      {"setYear(5.5)", "1905,0,15,10,20,30,400"},
      {"setYear(2010)", "2010,0,15,10,20,30,400"},
      {"setYear(-5)", "-5,0,15,10,20,30,400"},
      // Rejected: the first argument is no number, or the result lies
      // beyond the clip.
      {"setFullYear('2004')", "2003,0,15,10,20,30,400"},
      {"setMonth(0/0)", "2003,0,15,10,20,30,400"},
      {"setHours()", "2003,0,15,10,20,30,400"},
      {"setFullYear(300000)", "2003,0,15,10,20,30,400"},
      {"setYear(Math.exp(1000))", "2003,0,15,10,20,30,400"},
      {"setTime(1e16)", "2003,0,15,10,20,30,400"},
      {"setTime('0')", "2003,0,15,10,20,30,400"},
  };
  expectSetters(*this, "new Date(2003, 0, 15, 10, 20, 30, 400)", localFields, cases);
}

TEST_F(MathDate, UTCSettersKeepUTCTime) {
  // The UTC fields afterwards.
  const SetterCase cases[] = {
      {"setUTCMilliseconds(-1)", "2003,0,15,10,20,29,999"},
      {"setUTCSeconds(1, 2)", "2003,0,15,10,20,1,2"},
      {"setUTCMinutes(61)", "2003,0,15,11,1,30,400"},
      {"setUTCHours(0, 0)", "2003,0,15,0,0,30,400"},
      {"setUTCDate(32)", "2003,1,1,10,20,30,400"},
      {"setUTCMonth(-1, 1)", "2002,11,1,10,20,30,400"},
      {"setUTCFullYear(2000, 1, 29)", "2000,1,29,10,20,30,400"},
      {"setUTCFullYear(null)", "2003,0,15,10,20,30,400"},
      {"setTime(0)", "1970,0,1,0,0,0,0"},
      {"setTime(-1.5)", "1969,11,31,23,59,59,998"},
  };
  expectSetters(*this, "new Date(Date.UTC(2003, 0, 15, 10, 20, 30, 400))", utcFields, cases);
  // A local setter and a UTC one part where the zones' days differ: at
  // 02:00 UTC it is still the day before five hours west.
  start(300);
  EXPECT_EQ(text("d = new Date(Date.UTC(2003, 0, 15, 2)); d.setDate(20); " + utcFields("d")),
                 "2003,0,21,2,0,0,0");
  EXPECT_EQ(text("d = new Date(Date.UTC(2003, 0, 15, 2)); d.setUTCDate(20); " + utcFields("d")),
                 "2003,0,20,2,0,0,0");
}

TEST(DateText, ReadsTheFormsDatesAreWrittenIn) {
  // Local time is five hours west; every text names 09:20:30 UTC on
  // 2 January 2003 unless it says otherwise.
  const double west5 = 300 * 60000.0;
  const double utc = 1041499230000;
  const double hour = 3600000;
  struct Case {
    const char* text;
    double time;
  } cases[] = {
      {"Jan 2, 2003 10:20:30 GMT+0100", utc},
      {"Thu, 02 Jan 2003 09:20:30 GMT", utc},
      {"Thu Jan 02 04:20:30 GMT-500 2003", utc},
      {"Thu Jan 02 14:50:30 GMT+530 2003", utc},
      {"Jan 2 2003 14:50:30 GMT+5:30", utc},
      {"Jan 2 2003 11:20:30 GMT+2", utc},
      {"Jan 2 2003 04:20:30 -0500", utc},
      {"Jan 2 2003 11:20:30 +02", utc},
      {"1/2/2003 4:20:30", utc},
      {"1/2/2003 4:20:30 am", utc},
      {"2 January 2003 (a (nested) remark) 4:20:30", utc},
      {"2003 jan 2 9:20:30 UT", utc},
      {"JANUARY 2 2003 9:20:30 utc", utc},
      {"Thursday, January 2, 2003 4:20:30 EST", utc},
      {"Jan 2 2003 5:20:30 EDT", utc},
      {"Jan 2 2003 3:20:30 CST", utc},
      {"Jan 2 2003 4:20:30 CDT", utc},
      {"Jan 2 2003 2:20:30 MST", utc},
      {"Jan 2 2003 3:20:30 MDT", utc},
      {"Jan 2 2003 1:20:30 PST", utc},
      {"Jan 2 2003 2:20:30 PDT", utc},
      {"Jan 2 2003", utc - 9 * hour - 20 * 60000 - 30000 + 5 * hour},
      {"Jan 2 2003 12:00 am", utc - 9 * hour - 20 * 60000 - 30000 + 5 * hour},
      {"Jan 2 2003 12:00 pm GMT", utc + 2 * hour + 40 * 60000 - 30000},
      {"Jan 2 2003 1:00 pm GMT", utc + 3 * hour + 40 * 60000 - 30000},
      {"Jan\t2\n2003\x85" "9:20:30\xa0gmt", utc},
      {"-- Jan 2 2003 9:20:30 GMT --", utc},
      // Shared beginnings mean the later keyword: May, July.
      {"ma 2 2003 GMT", 1051833600000},
      {"JU 2 2003 GMT", 1057104000000},
      {"mar 2 2003 GMT", 1046563200000},
      // Years: 70 and more is a year, below 100 in the 1900s; after a
      // month and day given with "/" any number is.
      {"1/2/99 GMT", 915235200000},
      {"1/2/5 GMT", -2051136000000},
      {"Jan 2 70 GMT", 86400000},
      {"Oct 2 275760 GMT", -1},  // read, but beyond the clip: see below
  };
  for (const Case& c : cases) {
    const std::optional<double> t = date::parseText(c.text, west5);
    ASSERT_TRUE(t) << c.text;
    if (c.time == -1)
      EXPECT_FALSE(date::withinClip(*t)) << c.text;
    else
      EXPECT_EQ(*t, c.time) << c.text;
  }
  for (const char* bad : {
           "", "Jan 2", "2 2003", "foo 2 2003", "J 2 2003", "Jan 2 2003 x", "Jan Feb 2 2003",
           "Jan 2 2003 2004", "Jan 2 2 2003 1:2:3 4", "Jan 2 2003 13:00 pm", "Jan 2 2003 pm",
           "Jan 2 2003 GMT+1 +2", "Jan 2 2003 EST+0100", "13/2/2003", "Jan 2 2003 10:20:30:40",
           "2003-01-02", "Jan 2x 2003", "Jan 2 2003.", "Jan 2 2003 10:20.5", "Jan 2 03",
           "Jan 2 2003 B.C.",
       })
    EXPECT_FALSE(date::parseText(bad, west5)) << bad;
}

TEST_F(MathDate, ParseGivesTheCurrentTimeForWhatItCannotRead) {
  start(300);
  EXPECT_EQ(integer("Date.parse('Jan 2, 2003 10:20:30 GMT+0100')"), 1041499230000);
  EXPECT_EQ(integer("Date.parse('Jan 2, 2003 04:20:30')"), 1041499230000);
  EXPECT_EQ(integer("new Date(0).parse('Jan 2, 2003 04:20:30')"), 1041499230000);
  EXPECT_EQ(integer("Date.parse()"), 0);
  EXPECT_EQ(integer("Date.parse('Oct 2 275760 GMT')"), 0);
  const std::int64_t before = nowMs();
  const std::int64_t t = integer("Date.parse('Jan 2')");
  EXPECT_GE(t, before);
  EXPECT_LE(t, nowMs());
}

// The system's zone reaches Date when it is registered.
struct SystemZone {
  const char* tz;
  int bias;
  const char* text;  // of 2003-01-02 10:20:30 UTC
};
constexpr SystemZone kSystemZones[] = {
    {"UTC0", 0, "Thu Jan 02 10:20:30 GMT+000 2003"},
    {"JST-9", -540, "Thu Jan 02 19:20:30 GMT+900 2003"},
    {"EST5", 300, "Thu Jan 02 05:20:30 GMT-500 2003"},
    {"NPT-5:45", -345, "Thu Jan 02 16:05:30 GMT+545 2003"},
};

TEST_F(MathDate, TheSystemZoneComesFromTZ) {
  const auto check = [&](const SystemZone& z) {
    EXPECT_EQ(localTimeBiasMinutes(), z.bias) << z.tz;
    start();
    EXPECT_EQ(integer("new Date(0).getTimezoneOffset()"), z.bias) << z.tz;
    EXPECT_EQ(text("new Date(1041502830456).toString()"), z.text) << z.tz;
  };
#ifdef _WIN32
  // The system takes the zone from TZ once, when the program starts; the
  // test registrations start it in one of the zones above.
  const char* tz = std::getenv("TZ");
  for (const SystemZone& z : kSystemZones)
    if (tz && std::string_view(tz) == z.tz) return check(z);
  GTEST_SKIP() << "TZ is not one of the test zones";
#else
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  for (const SystemZone& z : kSystemZones) {
    setenv("TZ", z.tz, 1);
    tzset();
    check(z);
  }
  // With daylight saving the bias is that of the moment of registration.
  setenv("TZ", "EST5EDT", 1);
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(localTimeBiasMinutes(), local.tm_isdst > 0 ? 240 : 300);
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
#endif
}

} // namespace
} // namespace plumex::script::builtins
