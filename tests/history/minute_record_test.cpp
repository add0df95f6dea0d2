// The minute records a run of ticks, readings and switchings makes, written as the lines they
// become in the month file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/minute_accumulator.h"
#include "history/minute_record.h"

namespace qx {
namespace {

// "2026-12-08 14:05:30" as a wall-clock value.
DateValue Local(const char* text) {
  const std::string t(text);
  return MakeDateValue({std::stoi(t.substr(0, 4)), std::stoi(t.substr(5, 2)), std::stoi(t.substr(8, 2)),
                        std::stoi(t.substr(11, 2)), std::stoi(t.substr(14, 2)), std::stoi(t.substr(17, 2))});
}

struct Step {
  enum Kind { kTick, kJump, kReading, kState, kFinish } kind;
  const char* time = nullptr;  // kTick, kJump
  int offset = 0;              // kTick, kJump: minutes east of UTC
  int value = 0;               // kReading: sixteenths; kState: outlet bits (outlet 1 = bit 0)
  bool device = true;          // kState
};

// A tick whose clock ran with real time since the last one.
Step Tick(const char* time, int offset = 180) {
  return {Step::kTick, time, offset};
}
// A tick after the clock was set: one real second passed, whatever the clock now shows.
Step Jump(const char* time, int offset = 180) {
  return {Step::kJump, time, offset};
}
Step Reading(int sixteenths) {
  return {Step::kReading, nullptr, 0, sixteenths};
}
Step State(int outlets, bool device = true) {
  return {Step::kState, nullptr, 0, outlets, device};
}
Step Finish() {
  return {Step::kFinish};
}

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> lines;  // without their line breaks
};

// The lines of the minutes that ended, and in `lived` whether each was lived into.
std::vector<std::string> Replay(const std::vector<Step>& steps, std::vector<bool>* lived = nullptr) {
  MinuteAccumulator minutes;
  MinuteEndState state;
  state.device = true;
  int state_calls = 0;
  ClockSample last;
  bool ticked = false;
  std::vector<std::string> lines;
  auto keep = [&](const EndedMinute& minute) {
    if (lived) lived->push_back(minute.lived);
    std::string line = FormatMinuteLine(minute.record);
    line.resize(line.size() - kHistoryLineBreak.size());
    lines.push_back(line);
  };
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::kTick:
      case Step::kJump: {
        ClockSample now{Local(step.time), step.offset, 0};
        const std::int64_t utc_now = now.local - now.utc_offset_minutes * 60;
        const std::int64_t utc_last = last.local - last.utc_offset_minutes * 60;
        now.steady_ms = !ticked                    ? 1000000
                        : step.kind == Step::kTick ? last.steady_ms + (utc_now - utc_last) * 1000
                                                   : last.steady_ms + 1000;
        const int calls_before = state_calls;
        const auto ended = minutes.Advance(now, [&] {
          ++state_calls;
          return state;
        });
        // The outlets are looked at only when a minute ends, and then once.
        EXPECT_EQ(state_calls - calls_before, ended.empty() ? 0 : 1) << step.time;
        for (const EndedMinute& minute : ended) keep(minute);
        last = now;
        ticked = true;
        break;
      }
      case Step::kReading:
        minutes.AddReading(static_cast<std::int16_t>(step.value));
        break;
      case Step::kState:
        for (int i = 0; i < kHistoryOutletCount; ++i)
          state.outlets[static_cast<std::size_t>(i)] = (step.value >> i & 1) != 0;
        state.device = step.device;
        break;
      case Step::kFinish:
        if (const auto minute = minutes.Finish(state)) keep(*minute);
        break;
    }
  }
  return lines;
}

TEST(MinuteRecords, Table) {
  const std::vector<Case> cases = {
      {"a minute ends when the clock shows the next one, not before",
       {Tick("2026-12-08 14:05:00"), Reading(336), Reading(344), Tick("2026-12-08 14:05:59"), Reading(340),
        Tick("2026-12-08 14:06:00"), Tick("2026-12-08 14:06:30")},
       {"2026-12-08T14:05+03:00,21.0,21.25,21.5,3,0,0,0,0,1"}},
      {"the first tick mid-minute starts that minute",
       {Tick("2026-12-08 23:59:41"), Reading(200), Tick("2026-12-09 00:00:01")},
       {"2026-12-08T23:59+03:00,12.5,12.50,12.5,1,0,0,0,0,1"}},
      {"a minute with no reading is a record with empty temperatures",
       {Tick("2026-12-08 14:05:10"), Tick("2026-12-08 14:06:10"), Reading(336), Tick("2026-12-08 14:07:10")},
       {"2026-12-08T14:05+03:00,,,,0,0,0,0,0,1", "2026-12-08T14:06+03:00,21.0,21.00,21.0,1,0,0,0,0,1"}},
      {"the sensor's sixteenths round half away from zero, below zero too",
       {Tick("2026-12-08 14:05:00", 0), Reading(-62), Reading(-4), Reading(4), Tick("2026-12-08 14:06:00", 0),
        Reading(-4), Tick("2026-12-08 14:07:00", 0), Reading(2), Tick("2026-12-08 14:08:00", 0)},
       {"2026-12-08T14:05+00:00,-3.9,-1.29,0.3,3,0,0,0,0,1", "2026-12-08T14:06+00:00,-0.3,-0.25,-0.3,1,0,0,0,0,1",
        "2026-12-08T14:07+00:00,0.1,0.13,0.1,1,0,0,0,0,1"}},
      {"outlets and device as the minute ends, not as it began",
       {State(0b0001), Tick("2026-12-08 14:05:00"), State(0b1010, false), Reading(336), State(0b1001, true),
        Tick("2026-12-08 14:06:02"), State(0), Tick("2026-12-08 14:06:30"), State(0b0100, false),
        Tick("2026-12-08 14:07:00")},
       {"2026-12-08T14:05+03:00,21.0,21.00,21.0,1,1,0,0,1,1", "2026-12-08T14:06+03:00,,,,0,0,0,1,0,0"}},
      {"minutes the ticks missed get records of their own, with no reading",
       {Tick("2026-12-08 14:05:50"), Reading(336), Tick("2026-12-08 14:08:10")},
       {"2026-12-08T14:05+03:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-12-08T14:06+03:00,,,,0,0,0,0,0,1",
        "2026-12-08T14:07+03:00,,,,0,0,0,0,0,1"}},
      {"a long gap is a pause of the machine, not minutes the program ran",
       {Tick("2026-12-08 14:05:50"), Tick("2026-12-08 16:00:00"), Tick("2026-12-08 16:01:00")},
       {"2026-12-08T14:05+03:00,,,,0,0,0,0,0,1", "2026-12-08T16:00+03:00,,,,0,0,0,0,0,1"}},
      {"the clock set forward: no records for the hours jumped over",
       {Tick("2026-12-08 14:05:30"), Reading(336), Jump("2026-12-08 17:05:31"), Reading(352),
        Tick("2026-12-08 17:06:00")},
       {"2026-12-08T14:05+03:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-12-08T17:05+03:00,22.0,22.00,22.0,1,0,0,0,0,1"}},
      {"the clock set forward within the minute changes nothing",
       {Tick("2026-12-08 14:05:01"), Reading(336), Jump("2026-12-08 14:05:40"), Reading(352),
        Tick("2026-12-08 14:06:00")},
       {"2026-12-08T14:05+03:00,21.0,21.50,22.0,2,0,0,0,0,1"}},
      {"the clock set back: labels repeat, records keep their real order",
       {Tick("2026-12-08 14:05:10"), Reading(336), Tick("2026-12-08 14:06:00"), Reading(344),
        Jump("2026-12-08 14:05:20"), Reading(352), Tick("2026-12-08 14:06:00"), Tick("2026-12-08 14:07:00")},
       {"2026-12-08T14:05+03:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-12-08T14:06+03:00,21.5,21.50,21.5,1,0,0,0,0,1",
        "2026-12-08T14:05+03:00,22.0,22.00,22.0,1,0,0,0,0,1", "2026-12-08T14:06+03:00,,,,0,0,0,0,0,1"}},
      {"the clock set back an hour into the last month: each record under its own label",
       {Tick("2027-01-01 00:00:30"), Reading(336), Jump("2026-12-31 23:00:31"), Tick("2026-12-31 23:01:00")},
       {"2027-01-01T00:00+03:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-12-31T23:00+03:00,,,,0,0,0,0,0,1"}},
      {"the repeated hour when the clocks go back: the same labels, another offset",
       {Tick("2026-10-25 02:59:00", 120), Reading(336), Tick("2026-10-25 02:00:00", 60), Reading(320),
        Tick("2026-10-25 02:01:00", 60)},
       {"2026-10-25T02:59+02:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-10-25T02:00+01:00,20.0,20.00,20.0,1,0,0,0,0,1"}},
      {"the hour skipped when the clocks go forward is no gap of records",
       {Tick("2026-03-29 01:59:30", 60), Tick("2026-03-29 03:00:01", 120), Tick("2026-03-29 03:01:00", 120)},
       {"2026-03-29T01:59+01:00,,,,0,0,0,0,0,1", "2026-03-29T03:00+02:00,,,,0,0,0,0,0,1"}},
      {"the minute under way at exit is written with what it has, once",
       {Tick("2026-12-08 14:05:00"), Reading(336), Tick("2026-12-08 14:06:00"), Reading(360), State(0b0011), Finish(),
        Finish()},
       {"2026-12-08T14:05+03:00,21.0,21.00,21.0,1,0,0,0,0,1", "2026-12-08T14:06+03:00,22.5,22.50,22.5,1,1,1,0,0,1"}},
      {"readings before the first tick belong to the first minute",
       {Reading(336), Tick("2026-12-08 14:05:00", -300), Tick("2026-12-08 14:06:00", -300)},
       {"2026-12-08T14:05-05:00,21.0,21.00,21.0,1,0,0,0,0,1"}},
      {"nothing to write when no minute was started", {Reading(336), Finish()}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Replay(c.steps), c.lines) << c.name;
  }
}

// Only a minute the clock ran into with the steady count agreeing may let the history's old
// months go; a run's first minute and one reached by setting the clock may not.
TEST(MinuteRecords, WhichMinutesWereLivedInto) {
  struct Row {
    const char* name;
    std::vector<Step> steps;
    std::vector<bool> lived;
  };
  const std::vector<Row> rows = {
      {"the run's first minute is not, the next is",
       {Tick("2026-12-31 23:58:00"), Tick("2026-12-31 23:59:00"), Tick("2027-01-01 00:00:00"), Finish()},
       {false, true, true}},
      {"minutes the ticks missed, and the one after them",
       {Tick("2026-12-08 14:05:50"), Tick("2026-12-08 14:08:10"), Finish()},
       {false, true, true, true}},
      {"a year ahead and back again by a set clock",
       {Tick("2026-12-15 12:00:00"), Tick("2026-12-15 12:01:00"), Jump("2027-12-15 12:01:30"),
        Jump("2026-12-15 12:02:00"), Tick("2026-12-15 12:03:00")},
       {false, true, false, false}},
      {"a long sleep of the machine, the steady count running on",
       {Tick("2026-11-30 23:59:00"), Tick("2026-12-02 08:00:00"), Finish()},
       {false, true}},
  };
  for (const Row& row : rows) {
    std::vector<bool> lived;
    (void)Replay(row.steps, &lived);
    EXPECT_EQ(lived, row.lived) << row.name;
  }
}

}  // namespace
}  // namespace qx
