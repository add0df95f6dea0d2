#include <ctime>

#include "runtime/platform/local_clock.h"

namespace qx {

LocalClockReading SystemLocalClock() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

int SystemUtcOffsetMinutes() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

}  // namespace qx
