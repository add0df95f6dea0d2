#include "runtime/date_text.h"

#include <array>
#include <cstdint>
#include <limits>

#include "runtime/text.h"

namespace qx {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool StartsWithToken(std::string_view rest, std::string_view token) {
  if (rest.size() < token.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char c = rest[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != token[i]) return false;
  }
  return true;
}

}  // namespace

LocalClockReading BreakDownDateValue(DateValue value) {
  if (value < 0) return LocalClockReading{0, 0, 0, 0, 0, 0};
  LocalClockReading r;
  const std::int64_t days = value / 86400;
  std::int64_t seconds = value % 86400;
  CivilFromDays(days, r.year, r.month, r.day);
  r.hour = static_cast<int>(seconds / 3600);
  r.minute = static_cast<int>(seconds / 60 % 60);
  r.second = static_cast<int>(seconds % 60);
  return r;
}

DateValue MakeDateValue(const LocalClockReading& r) {
  const std::int64_t seconds = DaysFromCivil(r.year, static_cast<unsigned>(r.month), static_cast<unsigned>(r.day)) * 86400 +
                               std::int64_t{r.hour} * 3600 + std::int64_t{r.minute} * 60 + r.second;
  if (seconds > std::numeric_limits<DateValue>::max()) return std::numeric_limits<DateValue>::max();
  if (seconds < std::numeric_limits<DateValue>::min()) return std::numeric_limits<DateValue>::min();
  return static_cast<DateValue>(seconds);
}

std::string FormatDateText(std::string_view mask, DateValue value) {
  const LocalClockReading r = BreakDownDateValue(value);
  const std::string year = r.year == 0 ? "0000" : DecimalText(r.year);
  std::string out;
  out.reserve(mask.size() + 8);
  std::size_t i = 0;
  while (i < mask.size()) {
    if (mask[i] != '%') {
      out.push_back(mask[i++]);
      continue;
    }
    const std::string_view rest = mask.substr(i + 1);
    if (StartsWithToken(rest, "yyyy")) {
      out += year;
      i += 5;
    } else if (StartsWithToken(rest, "yy")) {
      // The third and fourth characters of the year text: the last two digits of a 4-digit year.
      out += Substring(year, 3, 2);
      i += 3;
    } else if (StartsWithToken(rest, "mm")) {
      out += TwoDigits(r.month);
      i += 3;
    } else if (StartsWithToken(rest, "dd")) {
      out += TwoDigits(r.day);
      i += 3;
    } else if (StartsWithToken(rest, "hh")) {
      out += TwoDigits(r.hour);
      i += 3;
    } else if (StartsWithToken(rest, "ii")) {
      out += TwoDigits(r.minute);
      i += 3;
    } else if (StartsWithToken(rest, "ss")) {
      out += TwoDigits(r.second);
      i += 3;
    } else {
      out.push_back('%');
      i += 1;
    }
  }
  return out;
}

}  // namespace qx
