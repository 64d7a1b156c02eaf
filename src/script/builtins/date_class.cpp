// Date: instances hold one time value. The local offset is read once, when
// the class is registered, and every local conversion uses that one
// offset: there is no per-date daylight-saving rule.

#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "platform/time_zone.h"
#include "script/builtins/builtins.h"
#include "script/builtins/date_time.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"

namespace plumex::script::builtins {

namespace date {
namespace {
BiasSource biasSource = nullptr;
}  // namespace

void setBiasSource(BiasSource source) { biasSource = source; }
} // namespace date

namespace {

using binding::Args;
using date::Fields;

// UTC minus local time in ms, shared by the process.
double localOffsetMs = 0;

struct DateData {
  double time;
};

enum Member {
  Parse, GetDate, GetDay, GetFullYear, GetHours, GetMilliseconds, GetMinutes, GetMonth,
  GetSeconds, GetTime, GetTimezoneOffset, GetUTCDate, GetUTCDay, GetUTCFullYear, GetUTCHours,
  GetUTCMilliseconds, GetUTCMinutes, GetUTCMonth, GetUTCSeconds, GetYear, SetDate, SetFullYear,
  SetHours, SetMinutes, SetMilliseconds, SetMonth, SetSeconds, SetTime, SetUTCDate,
  SetUTCFullYear, SetUTCHours, SetUTCMilliseconds, SetUTCMinutes, SetUTCMonth, SetUTCSeconds,
  SetYear, ToGMTString, ToLocaleString, UTC,
};
constexpr std::string_view kMembers[] = {
    "parse", "getDate", "getDay", "getFullYear", "getHours", "getMilliseconds", "getMinutes",
    "getMonth", "getSeconds", "getTime", "getTimezoneOffset", "getUTCDate", "getUTCDay",
    "getUTCFullYear", "getUTCHours", "getUTCMilliseconds", "getUTCMinutes", "getUTCMonth",
    "getUTCSeconds", "getYear", "setDate", "setFullYear", "setHours", "setMinutes",
    "setMilliseconds", "setMonth", "setSeconds", "setTime", "setUTCDate", "setUTCFullYear",
    "setUTCHours", "setUTCMilliseconds", "setUTCMinutes", "setUTCMonth", "setUTCSeconds",
    "setYear", "toGMTString", "toLocaleString", "UTC",
};

double now() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

double toLocal(double t) { return t - localOffsetMs; }
double fromLocal(double t) { return t + localOffsetMs; }

Value timeValue(double t) { return Value::integer(static_cast<std::int64_t>(t)); }

// A component argument: an Integer as it is, a Float floored; nothing for
// any other kind.
std::optional<double> component(const Value& v) {
  if (v.is(Kind::Integer)) return static_cast<double>(v.integerValue());
  if (v.is(Kind::Float)) return std::floor(v.floatValue());
  return std::nullopt;
}

// The seven fields in argument order, as doubles.
enum Field { Year, Month, Day, Hours, Minutes, Seconds, Ms, kFieldCount };
using FieldValues = std::array<double, kFieldCount>;

FieldValues split(double t) {
  const Fields f = date::fieldsOf(t);
  return {f.year, double(f.month), double(f.date), double(f.hours),
          double(f.minutes), double(f.seconds), double(f.ms)};
}

double compose(const FieldValues& f) {
  return date::makeDate(date::makeDay(f[Year], f[Month], f[Day]),
                        date::makeTime(f[Hours], f[Minutes], f[Seconds], f[Ms]));
}

// The constructor's and UTC's components: year 1970, month 0, day 1 and
// zero time unless an argument gives a number. NaN beyond the clip.
double timeFromComponents(const Args& args) {
  FieldValues f{1970, 0, 1, 0, 0, 0, 0};
  for (std::size_t i = 0; i < kFieldCount; ++i)
    if (const auto c = component(args[i])) f[i] = *c;
  return compose(f);
}

std::optional<double> parse(Engine& e, const Value& text) {
  return date::parseText(toAnsi(text.is(Kind::String) ? text : toStringValue(e, text)), localOffsetMs);
}

// A parsed text, or the current time for one that does not read as a
// date; 0 beyond the clip.
double parsedOrNow(Engine& e, const Value& text) {
  const double t = parse(e, text).value_or(now());
  return date::withinClip(t) ? t : 0;
}

double clipOrZero(double t) { return date::withinClip(t) ? t : 0; }

Value text(Engine& e, const std::string& ansi) { return makeString(e, ansi); }

void constructDate(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const Args args(block);
  double t;
  if (args.size() == 0) {
    t = now();
  } else if (args.size() == 1) {
    const Value& v = args[0];
    if (v.is(Kind::Integer))
      t = clipOrZero(static_cast<double>(v.integerValue()));
    else if (v.is(Kind::Float))
      t = clipOrZero(v.floatValue());
    else if (v.is(Kind::String))
      t = parsedOrNow(e, v);
    else
      t = now();
  } else {
    t = clipOrZero(fromLocal(timeFromComponents(args)));
  }
  result = binding::newInstance(e, cls, std::make_unique<DateData>(DateData{t}));
}

void callDate(Engine& e, ClassRecord&, void*, Value& result, ArgBlock) {
  result = text(e, date::localText(now(), localOffsetMs));
}

// The setters: the first argument replaces field `first`, further ones
// (up to `count` in all) the fields after it while they are numbers.
struct Setter {
  Field first;
  int count;
  bool utc;
};

std::optional<Setter> setterOf(int member) {
  switch (member) {
    case SetMilliseconds: return Setter{Ms, 1, false};
    case SetSeconds: return Setter{Seconds, 2, false};
    case SetMinutes: return Setter{Minutes, 3, false};
    case SetHours: return Setter{Hours, 4, false};
    case SetDate: return Setter{Day, 1, false};
    case SetMonth: return Setter{Month, 2, false};
    case SetFullYear: return Setter{Year, 3, false};
    case SetUTCMilliseconds: return Setter{Ms, 1, true};
    case SetUTCSeconds: return Setter{Seconds, 2, true};
    case SetUTCMinutes: return Setter{Minutes, 3, true};
    case SetUTCHours: return Setter{Hours, 4, true};
    case SetUTCDate: return Setter{Day, 1, true};
    case SetUTCMonth: return Setter{Month, 2, true};
    case SetUTCFullYear: return Setter{Year, 3, true};
    default: return std::nullopt;
  }
}

// Stores the new time value when it is within the clip.
void store(DateData& d, double t) {
  if (date::withinClip(t)) d.time = t;
}

void set(DateData& d, const Setter& s, const Args& args) {
  const auto first = component(args[0]);
  if (!first) return;
  FieldValues f = split(s.utc ? d.time : toLocal(d.time));
  f[s.first] = *first;
  for (int i = 1; i < s.count; ++i)
    if (const auto c = component(args[i])) f[s.first + i] = *c;
  const double t = compose(f);
  store(d, s.utc ? t : fromLocal(t));
}

void setYear(DateData& d, const Args& args) {
  const auto year = component(args[0]);
  if (!year) return;
  FieldValues f = split(toLocal(d.time));
  f[Year] = *year >= 0 && *year <= 99 ? *year + 1900 : *year;
  store(d, fromLocal(compose(f)));
}

// The members the class object answers too.
bool sharedMethod(Engine& e, int member, Value& result, const Args& args) {
  switch (member) {
    case Parse:
      result = args.size() == 0 ? Value::integer(0) : timeValue(parsedOrNow(e, args[0]));
      return true;
    case UTC:
      result = timeValue(clipOrZero(timeFromComponents(args)));
      return true;
    default:
      return false;
  }
}

bool dateMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const Args args(block);
  const int member = binding::members(cls).find(atom);
  if (sharedMethod(e, member, result, args)) return true;
  if (!self) return binding::classObjectMethod(e, cls, atom, result);

  DateData& d = *static_cast<DateData*>(self);
  if (atom == kAtomToString || member == ToLocaleString) {
    result = text(e, date::localText(d.time, localOffsetMs));
    return true;
  }
  if (atom == kAtomValueOf) {
    result = timeValue(d.time);
    return true;
  }
  if (const auto setter = setterOf(member)) {
    set(d, *setter, args);
    result = timeValue(d.time);
    return true;
  }
  const Fields local = date::fieldsOf(toLocal(d.time));
  const Fields utc = date::fieldsOf(d.time);
  switch (member) {
    case GetDate: result = Value::integer(local.date); break;
    case GetDay: result = Value::integer(local.weekDay); break;
    case GetFullYear: result = Value::integer(static_cast<std::int64_t>(local.year)); break;
    case GetHours: result = Value::integer(local.hours); break;
    case GetMinutes: result = Value::integer(local.minutes); break;
    case GetMonth: result = Value::integer(local.month); break;
    case GetSeconds: result = Value::integer(local.seconds); break;
    case GetMilliseconds:
    case GetUTCMilliseconds: result = Value::integer(utc.ms); break;
    case GetUTCDate: result = Value::integer(utc.date); break;
    case GetUTCDay: result = Value::integer(utc.weekDay); break;
    case GetUTCFullYear: result = Value::integer(static_cast<std::int64_t>(utc.year)); break;
    case GetUTCHours: result = Value::integer(utc.hours); break;
    case GetUTCMinutes: result = Value::integer(utc.minutes); break;
    case GetUTCMonth: result = Value::integer(utc.month); break;
    case GetUTCSeconds: result = Value::integer(utc.seconds); break;
    case GetTime: result = timeValue(d.time); break;
    case GetTimezoneOffset: result = Value::integer(static_cast<std::int64_t>(localOffsetMs / 60000)); break;
    case GetYear: {
      const auto year = static_cast<std::int64_t>(local.year);
      result = Value::integer(year >= 1900 && year <= 1999 ? year - 1900 : year);
      break;
    }
    case SetTime:
      if (args[0].is(Kind::Integer))
        store(d, static_cast<double>(args[0].integerValue()));
      else if (args[0].is(Kind::Float))
        store(d, args[0].floatValue());
      result = timeValue(d.time);
      break;
    case SetYear:
      setYear(d, args);
      result = timeValue(d.time);
      break;
    case ToGMTString: result = text(e, date::gmtText(d.time)); break;
    default: return false;
  }
  return true;
}

} // namespace

void registerDateClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Date",
                                  .members = kMembers,
                                  .call = callDate,
                                  .method = dateMethod,
                                  .property = binding::declineProperties,
                                  .construct = constructDate,
                                  .finalizeInstance = binding::deleteInstance<DateData>});
  const int bias = date::biasSource ? date::biasSource() : localTimeBiasMinutes();
  localOffsetMs = bias * 60000.0;
}

} // namespace plumex::script::builtins
