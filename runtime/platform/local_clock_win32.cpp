// GetLocalTime already has the user's time zone and daylight-saving rules applied, so during the
// repeated autumn hour the value follows the clock on the wall.
#include <windows.h>

#include "runtime/platform/local_clock.h"

namespace qx {

LocalClockReading SystemLocalClock() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

int SystemUtcOffsetMinutes() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;  // UTC = local + bias
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  return static_cast<int>(-bias);
}

}  // namespace qx
