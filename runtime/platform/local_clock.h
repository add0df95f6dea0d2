#pragma once
// The operating system's local wall clock, one reading.

#include "runtime/date_text.h"

namespace qx {

LocalClockReading SystemLocalClock();

}  // namespace qx
