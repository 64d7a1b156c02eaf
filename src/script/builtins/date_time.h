#pragma once
// Time values of the Date class: milliseconds since 1970-01-01 UTC as a
// double, days of 86400000 ms, the proleptic Gregorian calendar, a clip
// at 8.64e15 ms, and the texts dates are written in and read from.

#include <optional>
#include <string>
#include <string_view>

namespace plumex::script::builtins::date {

inline constexpr double kMsPerDay = 86400000.0;
inline constexpr double kTimeClip = 8.64e15;

// False for NaN and for values beyond the clip.
bool withinClip(double t);

double dayFromYear(double year);
double yearFromTime(double t);
bool isLeapYear(double year);

// The calendar fields of a time value (already shifted to local time
// where local fields are wanted).
struct Fields {
  double year;
  int month;    // 0-11
  int date;     // 1-31
  int weekDay;  // 0 Sunday
  int hours;
  int minutes;
  int seconds;
  int ms;
};
Fields fieldsOf(double t);

// Non-finite inputs give NaN. The month carries into the year.
double makeDay(double year, double month, double date);
double makeTime(double hours, double minutes, double seconds, double ms);
double makeDate(double day, double time);

// "Thu Jan 02 10:20:30 GMT+100 2003": t in local time, the offset given
// as UTC minus local time in ms; years up to 0 are written 1 - y with a
// " B.C." suffix.
std::string localText(double t, double offsetMs);
// "Thu, 02 Jan 2003 09:20:30 GMT".
std::string gmtText(double t);

// The time value of a date text (ANSI), or nothing when it does not read
// as one. Texts without a zone are local time under offsetMs.
std::optional<double> parseText(std::string_view text, double offsetMs);

// Where the Date class takes the local zone's bias from when it is
// registered (minutes, UTC minus local time). Tests pin a zone with it;
// null restores the system's.
using BiasSource = int (*)();
void setBiasSource(BiasSource source);

} // namespace plumex::script::builtins::date
