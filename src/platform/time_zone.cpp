#include "platform/time_zone.h"

#include <ctime>

namespace plumex {

int localTimeBiasMinutes() {
  // localtime_r need not look at TZ again by itself; a changed zone
  // must be seen.
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 0;
  return static_cast<int>(-local.tm_gmtoff / 60);
}

} // namespace plumex
