#include "script/builtins/date_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace plumex::script::builtins::date {
namespace {

constexpr int kMsPerHour = 3600000;
constexpr int kMsPerMinute = 60000;

// Days before each month, in a normal year and in a leap year.
constexpr std::array<std::array<int, 12>, 2> kDaysBeforeMonth{{
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
}};

constexpr const char* kWeekDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

double positiveRemainder(double a, double b) {
  const double r = std::fmod(a, b);
  return r < 0 ? r + b : r;
}

double timeFromYear(double year) { return kMsPerDay * dayFromYear(year); }

const std::array<int, 12>& daysBeforeMonth(double year) { return kDaysBeforeMonth[isLeapYear(year) ? 1 : 0]; }

// At least `width` digits, zero-filled, as "%0*d" writes a non-negative
// number.
void appendPadded(std::string& out, long long n, int width) {
  const std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

// "hh:mm:ss".
void appendClock(std::string& out, const Fields& f) {
  appendPadded(out, f.hours, 2);
  out += ':';
  appendPadded(out, f.minutes, 2);
  out += ':';
  appendPadded(out, f.seconds, 2);
}

} // namespace

bool withinClip(double t) { return std::fabs(t) <= kTimeClip; }

double dayFromYear(double y) {
  return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
         std::floor((y - 1601) / 400);
}

bool isLeapYear(double y) {
  return std::fmod(y, 4) == 0 && (std::fmod(y, 100) != 0 || std::fmod(y, 400) == 0);
}

double yearFromTime(double t) {
  double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
  if (timeFromYear(y) > t)
    --y;
  else if (timeFromYear(y + 1) <= t)
    ++y;
  return y;
}

Fields fieldsOf(double t) {
  Fields f{};
  const double day = std::floor(t / kMsPerDay);
  f.year = yearFromTime(t);
  const int dayInYear = static_cast<int>(day - dayFromYear(f.year));
  const std::array<int, 12>& before = daysBeforeMonth(f.year);
  int month = 11;
  while (month > 0 && before[month] > dayInYear) --month;
  f.month = month;
  f.date = dayInYear - before[month] + 1;
  f.weekDay = static_cast<int>(positiveRemainder(day + 4, 7));
  const double inDay = positiveRemainder(t, kMsPerDay);
  f.hours = static_cast<int>(inDay / kMsPerHour);
  f.minutes = static_cast<int>(positiveRemainder(inDay, kMsPerHour) / kMsPerMinute);
  f.seconds = static_cast<int>(positiveRemainder(inDay, kMsPerMinute) / 1000);
  f.ms = static_cast<int>(positiveRemainder(inDay, 1000));
  return f;
}

double makeDay(double year, double month, double date) {
  if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return NAN;
  const double y = year + std::floor(month / 12);
  if (!std::isfinite(y)) return NAN;
  const int m = static_cast<int>(positiveRemainder(month, 12));
  return dayFromYear(y) + daysBeforeMonth(y)[m] + date - 1;
}

double makeTime(double hours, double minutes, double seconds, double ms) {
  const double t = hours * kMsPerHour + minutes * kMsPerMinute + seconds * 1000 + ms;
  return std::isfinite(t) ? t : NAN;
}

double makeDate(double day, double time) {
  const double t = day * kMsPerDay + time;
  return std::isfinite(t) ? t : NAN;
}

std::string localText(double t, double offsetMs) {
  const Fields f = fieldsOf(t - offsetMs);
  // Hours and minutes east of Greenwich as one signed number: +100, -500,
  // +530, -330.
  const int east = static_cast<int>(-offsetMs / kMsPerMinute);
  const int offset = east / 60 * 100 + east % 60;
  std::string out = kWeekDays[f.weekDay];
  out += ' ';
  out += kMonths[f.month];
  out += ' ';
  appendPadded(out, f.date, 2);
  out += ' ';
  appendClock(out, f);
  out += " GMT";
  out += offset < 0 ? '-' : '+';
  appendPadded(out, offset < 0 ? -offset : offset, 3);
  out += ' ';
  const bool beforeChrist = f.year <= 0;
  appendPadded(out, static_cast<long long>(beforeChrist ? 1 - f.year : f.year), 4);
  if (beforeChrist) out += " B.C.";
  return out;
}

std::string gmtText(double t) {
  const Fields f = fieldsOf(t);
  std::string out = kWeekDays[f.weekDay];
  out += ", ";
  appendPadded(out, f.date, 2);
  out += ' ';
  out += kMonths[f.month];
  out += ' ';
  const bool beforeChrist = f.year <= 0;
  appendPadded(out, static_cast<long long>(beforeChrist ? 1 - f.year : f.year), 4);
  out += ' ';
  appendClock(out, f);
  out += " GMT";
  if (beforeChrist) out += " B.C.";
  return out;
}

namespace {

// Date texts are read token by token, left to right; every field may be
// given once. Offsets are kept in minutes west of Greenwich.
class DateTextReader {
public:
  explicit DateTextReader(std::string_view text) : s_(text.substr(0, text.find('\0'))) {}

  std::optional<double> read(double localOffsetMs) {
    while (i_ < s_.size()) {
      const unsigned char c = at(i_);
      if (isSeparator(c) || c == ',' || (c == '-' && !isDigit(at(i_ + 1)))) {
        ++i_;
      } else if (c == '(') {
        skipComment();
      } else if (isDigit(c)) {
        if (!readNumber()) return std::nullopt;
      } else if (c == '/' || c == ':' || c == '+' || c == '-') {
        ++i_;  // read with the number that follows
      } else if (!readWord()) {
        return std::nullopt;
      }
    }
    if (year_ < 0 || month_ < 0 || day_ < 0) return std::nullopt;
    const double t = makeDate(makeDay(year_, month_, day_),
                              makeTime(std::max(hour_, 0L), std::max(minute_, 0L),
                                       std::max(second_, 0L), 0));
    if (offsetKnown_) return t + static_cast<double>(offset_) * kMsPerMinute;
    return t + localOffsetMs;
  }

private:
  // Unset fields hold -1; numbers saturate far above any field's range.
  using Number = long;
  static constexpr Number kNumberCap = 100000000;

  static bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
  static bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  // Control characters, space and bytes above 127.
  static bool isSeparator(unsigned char c) { return c <= ' ' || c > 127; }
  // The end of the text reads as a NUL.
  unsigned char at(std::size_t i) const { return i < s_.size() ? static_cast<unsigned char>(s_[i]) : 0; }

  void skipComment() {
    int depth = 0;
    do {
      const unsigned char c = at(i_++);
      if (c == '(') ++depth;
      if (c == ')') --depth;
    } while (depth > 0 && i_ < s_.size());
  }

  bool readNumber() {
    const unsigned char before = i_ > 0 ? at(i_ - 1) : 0;
    Number n = 0;
    while (isDigit(at(i_))) n = std::min(n * 10 + (at(i_++) - '0'), kNumberCap);
    const unsigned char next = at(i_);

    if (before == '+' || before == '-') {
      // A zone offset: hours up to 23, hhmm beyond.
      if (offsetKnown_ && offset_ != 0) return false;
      const Number minutes = n <= 23 ? n * 60 : n / 100 * 60 + n % 100;
      offsetEast_ = before == '+';
      offset_ = offsetEast_ ? -minutes : minutes;
      offsetKnown_ = true;
      numericOffset_ = true;
      return true;
    }
    if (n >= 70 || (before == '/' && month_ >= 0 && day_ >= 0 && year_ < 0)) {
      if (year_ >= 0) return false;
      if (next > ' ' && next <= 127 && next != ',' && next != '/') return false;
      year_ = n < 100 ? n + 1900 : n;
      return true;
    }
    if (next == ':') {
      if (hour_ < 0)
        hour_ = n;
      else if (minute_ < 0)
        minute_ = n;
      else
        return false;
      return true;
    }
    if (next == '/') {
      if (month_ < 0) {
        if (n < 1 || n > 12) return false;
        month_ = n - 1;
        return true;
      }
      return setOnce(day_, n);
    }
    if (next > ' ' && next <= 127 && next != ',' && next != '-') return false;
    if (numericOffset_ && n < 60) {
      offset_ += offsetEast_ ? -n : n;
      return true;
    }
    if (hour_ >= 0 && minute_ < 0) {
      minute_ = n;
      return true;
    }
    if ((hour_ >= 0 || minute_ >= 0) && second_ < 0) {
      second_ = n;
      return true;
    }
    return setOnce(day_, n);
  }

  static bool setOnce(Number& field, Number n) {
    if (field >= 0) return false;
    field = n;
    return true;
  }

  bool readWord() {
    const std::size_t start = i_++;
    while (isLetter(at(i_))) ++i_;
    const std::string_view word = s_.substr(start, i_ - start);
    if (word.size() < 2) return false;
    // Tried last to first, so that an abbreviation shared by two keywords
    // ("ma", "ju") means the later one.
    for (int k = static_cast<int>(std::size(kKeywords)) - 1; k >= 0; --k) {
      if (startsKeyword(word, kKeywords[k].text)) return apply(kKeywords[k]);
    }
    return false;
  }

  enum class Action { Am, Pm, WeekDay, Month, Zone };
  struct Keyword {
    std::string_view text;
    Action action;
    int value;  // the month, or the zone's minutes west of Greenwich
  };
  static constexpr Keyword kKeywords[] = {
      {"am", Action::Am, 0},           {"pm", Action::Pm, 0},
      {"monday", Action::WeekDay, 0},  {"tuesday", Action::WeekDay, 0},
      {"wednesday", Action::WeekDay, 0}, {"thursday", Action::WeekDay, 0},
      {"friday", Action::WeekDay, 0},  {"saturday", Action::WeekDay, 0},
      {"sunday", Action::WeekDay, 0},  {"january", Action::Month, 0},
      {"february", Action::Month, 1},  {"march", Action::Month, 2},
      {"april", Action::Month, 3},     {"may", Action::Month, 4},
      {"june", Action::Month, 5},      {"july", Action::Month, 6},
      {"august", Action::Month, 7},    {"september", Action::Month, 8},
      {"october", Action::Month, 9},   {"november", Action::Month, 10},
      {"december", Action::Month, 11}, {"gmt", Action::Zone, 0},
      {"ut", Action::Zone, 0},         {"utc", Action::Zone, 0},
      {"est", Action::Zone, 300},      {"edt", Action::Zone, 240},
      {"cst", Action::Zone, 360},      {"cdt", Action::Zone, 300},
      {"mst", Action::Zone, 420},      {"mdt", Action::Zone, 360},
      {"pst", Action::Zone, 480},      {"pdt", Action::Zone, 420},
  };

  // Whether the word is the keyword's beginning, regardless of case.
  static bool startsKeyword(std::string_view word, std::string_view keyword) {
    if (word.size() > keyword.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(word[i]);
      if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
      if (c != static_cast<unsigned char>(keyword[i])) return false;
    }
    return true;
  }

  bool apply(const Keyword& k) {
    switch (k.action) {
      case Action::Am:
      case Action::Pm:
        if (hour_ < 0 || hour_ > 12) return false;
        if (k.action == Action::Am && hour_ == 12) hour_ = 0;
        if (k.action == Action::Pm && hour_ < 12) hour_ += 12;
        return true;
      case Action::WeekDay:
        return true;
      case Action::Month:
        if (month_ >= 0) return false;
        month_ = k.value;
        return true;
      case Action::Zone:
        offset_ = k.value;
        offsetKnown_ = true;
        return true;
    }
    return false;
  }

  std::string_view s_;
  std::size_t i_ = 0;
  Number year_ = -1, month_ = -1, day_ = -1, hour_ = -1, minute_ = -1, second_ = -1;
  Number offset_ = 0;
  bool offsetKnown_ = false;
  bool numericOffset_ = false;
  bool offsetEast_ = false;
};

} // namespace

std::optional<double> parseText(std::string_view text, double offsetMs) {
  return DateTextReader(text).read(offsetMs);
}

} // namespace plumex::script::builtins::date
