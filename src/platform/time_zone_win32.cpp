#include "platform/time_zone.h"

#include <windows.h>

namespace plumex {

int localTimeBiasMinutes() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD state = GetTimeZoneInformation(&zone);
  if (state == TIME_ZONE_ID_INVALID) return 0;
  LONG bias = zone.Bias;
  if (state == TIME_ZONE_ID_DAYLIGHT)
    bias += zone.DaylightBias;
  else if (state == TIME_ZONE_ID_STANDARD)
    bias += zone.StandardBias;
  return static_cast<int>(bias);
}

} // namespace plumex
