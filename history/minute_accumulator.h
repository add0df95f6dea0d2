#pragma once
// The minute under way: the accepted readings of the current wall-clock minute, folded into a
// record when the clock shows another minute.
//
// Readings arrive on the sensor's thread; the minute is advanced on the user-interface thread by
// its one-second clock tick, so a reading belongs to the minute the clock showed at the last tick.
// What counts as a real minute:
//   - The clock moves on as time does (the steady count agrees): the minute under way ends, and
//     the minutes the ticks missed (a busy or stalled moment) get records with no reading, up to
//     a few; a longer gap is a pause of the machine (sleep), when the program did not run.
//   - The clock jumps (set forward, or back): the minute under way ends with what it has, and the
//     next starts at the new reading. The minutes jumped over never happened; after a set back a
//     label repeats, and the records keep their real order.
//   - The offset from UTC changes (the clocks go back or forward for the season): a new minute,
//     even when the local label is the same one again.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "history/minute_record.h"
#include "runtime/platform/lock.h"

namespace qx {

struct ClockSample {
  DateValue local = 0;         // the local wall clock, seconds
  int utc_offset_minutes = 0;  // local minus UTC at that moment
  std::int64_t steady_ms = 0;  // a count that only moves with real time
};

struct MinuteEndState {
  std::array<bool, kHistoryOutletCount> outlets{};
  bool device = false;
};

// How far the wall clock may run from the steady count and still count as running with it, and
// how many missed minutes are filled in at most.
inline constexpr int kClockSlackSeconds = 5;
inline constexpr int kMaxFilledMinutes = 5;

// The record of a minute's readings, in sixteenths of a degree (the sensor's unit): the lowest
// and highest rounded to tenths, the mean to hundredths, an exact half away from zero, as the
// temperature's shown text rounds.
struct ReadingSummary {
  int count = 0;
  std::int32_t lowest = 0;
  std::int32_t highest = 0;
  std::int64_t sum = 0;
  void Add(std::int16_t sixteenths);
  void FillRecord(MinuteRecord& record) const;
};

class MinuteAccumulator {
 public:
  // An accepted, newly read temperature in sixteenths of a degree. Any thread.
  void AddReading(std::int16_t sixteenths);

  // The user-interface thread's tick. When the clock shows the minute under way, returns nothing
  // and asks for nothing; otherwise calls `state` once for the outlets and the device as the
  // ending minute leaves them, and returns the minutes that ended, oldest first. The first call
  // only starts a minute.
  std::vector<EndedMinute> Advance(const ClockSample& now, const std::function<MinuteEndState()>& state);

  // Whether `local` lies in the minute under way: the tick's cheap test, which needs no offset
  // and asks for no state. A change of offset always changes the minute's label as well.
  [[nodiscard]] bool IsMinuteUnderWay(DateValue local) const { return started_ && MinuteOf(local) == minute_; }

  // The minute under way, with what it has (at exit); nothing when no minute was started. The
  // accumulator then starts afresh.
  std::optional<EndedMinute> Finish(const MinuteEndState& state);

 private:
  static DateValue MinuteOf(DateValue local) { return local - ((local % 60) + 60) % 60; }
  EndedMinute CloseMinute(const MinuteEndState& state);

  Lock lock_;
  ReadingSummary readings_;  // guarded by lock_
  // The user-interface thread's own.
  bool started_ = false;
  DateValue minute_ = 0;
  int offset_ = 0;
  bool lived_ = false;  // the minute under way was lived into from the one before
  ClockSample last_{};
};

}  // namespace qx
