// The one place the portable runtime reads the operating system's clock. On Windows the local
// reading comes from GetLocalTime, which already has the user's time zone and daylight-saving
// rules applied, so during the repeated autumn hour the value follows the clock on the wall.
#include <mutex>
#include <utility>

#include "runtime/date_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace qx {

namespace {

std::mutex clock_mutex;
std::function<LocalClockReading()> replacement_clock;

LocalClockReading SystemLocalClock() {
  LocalClockReading r;
#ifdef _WIN32
  SYSTEMTIME now;
  GetLocalTime(&now);
  r = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
#else
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  r = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
#endif
  return r;
}

}  // namespace

void SetLocalClock(std::function<LocalClockReading()> clock) {
  std::lock_guard lock(clock_mutex);
  replacement_clock = std::move(clock);
}

DateValue CurrentDateValue() {
  std::function<LocalClockReading()> clock;
  {
    std::lock_guard lock(clock_mutex);
    clock = replacement_clock;
  }
  return MakeDateValue(clock ? clock() : SystemLocalClock());
}

}  // namespace qx
