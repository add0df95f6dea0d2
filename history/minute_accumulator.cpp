#include "history/minute_accumulator.h"

#include <algorithm>
#include <mutex>

namespace qx {

namespace {

constexpr std::int64_t kSixteenths = 16;

// numerator / denominator (> 0) to the nearest whole number, an exact half away from zero.
std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  const std::int64_t remainder = numerator % denominator;
  if (2 * (remainder < 0 ? -remainder : remainder) >= denominator) quotient += numerator < 0 ? -1 : 1;
  return quotient;
}

// UTC seconds of a local reading.
std::int64_t UtcSeconds(DateValue local, int offset_minutes) {
  return std::int64_t{local} - std::int64_t{offset_minutes} * 60;
}

}  // namespace

void ReadingSummary::Add(std::int16_t sixteenths) {
  lowest = count == 0 ? sixteenths : std::min<std::int32_t>(lowest, sixteenths);
  highest = count == 0 ? sixteenths : std::max<std::int32_t>(highest, sixteenths);
  sum += sixteenths;
  ++count;
}

void ReadingSummary::FillRecord(MinuteRecord& record) const {
  record.readings = count;
  if (count == 0) return;
  record.min_tenths = static_cast<int>(RoundedQuotient(std::int64_t{lowest} * 10, kSixteenths));
  record.max_tenths = static_cast<int>(RoundedQuotient(std::int64_t{highest} * 10, kSixteenths));
  record.mean_hundredths = static_cast<int>(RoundedQuotient(sum * 100, kSixteenths * count));
}

void MinuteAccumulator::AddReading(std::int16_t sixteenths) {
  std::lock_guard lock(lock_);
  readings_.Add(sixteenths);
}

EndedMinute MinuteAccumulator::CloseMinute(const MinuteEndState& state) {
  EndedMinute ended{{}, lived_};
  MinuteRecord& record = ended.record;
  record.start = minute_;
  record.utc_offset_minutes = offset_;
  record.outlets = state.outlets;
  record.device = state.device;
  ReadingSummary taken;
  {
    std::lock_guard lock(lock_);
    taken = readings_;
    readings_ = {};
  }
  taken.FillRecord(record);
  return ended;
}

std::vector<EndedMinute> MinuteAccumulator::Advance(const ClockSample& now,
                                                    const std::function<MinuteEndState()>& state) {
  std::vector<EndedMinute> ended;
  const DateValue minute = MinuteOf(now.local);
  if (!started_) {
    started_ = true;
    lived_ = false;
  } else if (minute == minute_ && now.utc_offset_minutes == offset_) {
    last_ = now;
    return ended;
  } else {
    const MinuteEndState end = state ? state() : MinuteEndState{};
    ended.push_back(CloseMinute(end));
    const std::int64_t wall_ms =
        (UtcSeconds(now.local, now.utc_offset_minutes) - UtcSeconds(last_.local, last_.utc_offset_minutes)) * 1000;
    const std::int64_t real_ms = now.steady_ms - last_.steady_ms;
    const std::int64_t drift_ms = wall_ms > real_ms ? wall_ms - real_ms : real_ms - wall_ms;
    lived_ = drift_ms <= std::int64_t{kClockSlackSeconds} * 1000;
    if (lived_) {
      // The clock ran on with time: the minutes between were lived through, unseen by a tick.
      const std::int64_t first = UtcSeconds(minute_, offset_) + 60;
      const std::int64_t missed = (UtcSeconds(minute, now.utc_offset_minutes) - first) / 60;
      if (missed > 0 && missed <= kMaxFilledMinutes) {
        for (std::int64_t i = 0; i < missed; ++i) {
          EndedMinute filled{{}, true};
          filled.record.start = static_cast<DateValue>(first + i * 60 + std::int64_t{offset_} * 60);
          filled.record.utc_offset_minutes = offset_;
          filled.record.outlets = end.outlets;
          filled.record.device = end.device;
          ended.push_back(filled);
        }
      }
    }
  }
  minute_ = minute;
  offset_ = now.utc_offset_minutes;
  last_ = now;
  return ended;
}

std::optional<EndedMinute> MinuteAccumulator::Finish(const MinuteEndState& state) {
  if (!started_) return std::nullopt;
  started_ = false;
  return CloseMinute(state);
}

}  // namespace qx
