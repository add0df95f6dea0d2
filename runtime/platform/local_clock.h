#pragma once
// The operating system's local wall clock, one reading.

#include "runtime/date_text.h"

namespace qx {

LocalClockReading SystemLocalClock();

// How far the local clock is ahead of UTC now, in minutes (+180 for Moscow), daylight saving
// included.
int SystemUtcOffsetMinutes();

}  // namespace qx
