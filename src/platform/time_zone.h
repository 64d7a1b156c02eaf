#pragma once
// The local time zone as the system reports it.

namespace plumex {

// The bias of the local zone at this moment, in minutes: UTC minus local
// time, so positive west of Greenwich, with the daylight-saving shift
// included while it is in effect.
int localTimeBiasMinutes();

} // namespace plumex
