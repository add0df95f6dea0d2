// The program's clock: the operating system's local clock (runtime/platform), or the one a test
// put in its place.
#include <mutex>
#include <utility>

#include "runtime/date_text.h"
#include "runtime/platform/local_clock.h"
#include "runtime/platform/lock.h"

namespace qx {

namespace {

Lock clock_lock;
std::function<LocalClockReading()> replacement_clock;

}  // namespace

void SetLocalClock(std::function<LocalClockReading()> clock) {
  std::lock_guard lock(clock_lock);
  replacement_clock = std::move(clock);
}

DateValue CurrentDateValue() {
  std::function<LocalClockReading()> clock;
  {
    std::lock_guard lock(clock_lock);
    clock = replacement_clock;
  }
  return MakeDateValue(clock ? clock() : SystemLocalClock());
}

}  // namespace qx
