#pragma once
// The program's clock: local wall-clock readings as one number, and their text under a mask.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qx {

// Seconds from 1970-01-01 00:00:00 to a local wall-clock reading, every day counting 86,400
// seconds. It carries no time zone: breaking it down gives back exactly the reading.
using DateValue = std::int32_t;

struct LocalClockReading {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The wall-clock reading of a value; every field 0 for a value that cannot be broken down
// (a negative one).
[[nodiscard]] LocalClockReading BreakDownDateValue(DateValue value);

// The value of a reading. Readings past 2038-01-19 03:14:07 do not fit and give the largest value.
[[nodiscard]] DateValue MakeDateValue(const LocalClockReading& reading);

// The value of the local clock now.
[[nodiscard]] DateValue CurrentDateValue();

// Replaces the clock CurrentDateValue reads (tests walk through any minute of any day with it);
// an empty function restores the system's local clock.
void SetLocalClock(std::function<LocalClockReading()> clock);

// Copies the mask, replacing the tokens %yyyy, %yy, %mm, %dd, %hh, %ii and %ss (ASCII letters in
// any case) by the value's components; any other "%" stays as it is.
[[nodiscard]] std::string FormatDateText(std::string_view mask, DateValue value);

}  // namespace qx
