// The schedule and the thermostat on real widgets under the window layer, with a clock and a
// temperature the test sets, and the outlet report and menu refresh counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "automation/schedule.h"
#include "automation/thermostat.h"
#include "runtime/date_text.h"
#include "runtime/text.h"
#include "device/device_link.h"
#include "runtime/win32/message_box_probe.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

class AutomationTest : public ::testing::Test {
 protected:
  static constexpr int kStatusBar = 0;

  void SetUp() override {
    ASSERT_NE(NewWindow(0, 0, 0, 600, 400, "automation", kWindowHidden | kMainWindowOptions), kNoObject);
    for (int outlet = 1; outlet <= 4; ++outlet) NewCheckBox(outlet, 10, 20 * outlet, 80, 20, "outlet");
    // The schedule boxes as the program fills them: an empty item, then two-digit hours or minutes.
    for (int box = kFirstScheduleWidget; box <= kLastScheduleBox; ++box) {
      NewComboBox(box, 100, 10, 50, 200);
      AddItem(box, -1, "");
      const int count = (box - kFirstScheduleWidget) % 2 == 0 ? 24 : 60;
      for (int n = 0; n < count; ++n) AddItem(box, -1, TwoDigits(n));
      SetState(box, 0);
    }
    for (int outlet = 1; outlet <= 4; ++outlet) NewToggleButton(30 + outlet, 200, 20 * outlet, 80, 20, "T", kToggleButtonOptions);
    for (int field = kFirstBandWidget; field <= kLastBandWidget; ++field)
      NewSpinField(field, 300, 10, 50, 20, -99, 99, kSpinNumeric);
    ASSERT_NE(NewStatusBar(kStatusBar, NativeWindowHandle(0)), kNoObject);
    for (int i = 0; i < 3; ++i) AddStatusField(118);

    hooks_.status_bar = kStatusBar;
    hooks_.send_outlet_report = [this] { reports_.push_back(OutletBits()); };
    hooks_.refresh_tray_menu = [this] { ++menu_refreshes_; };
    hooks_.rounded_temperature = [this] { return temperature_; };
  }

  void TearDown() override { SetLocalClock(nullptr); }

  void SetClock(int year, int month, int day, int hour, int minute, int second) {
    SetLocalClock([=] { return LocalClockReading{year, month, day, hour, minute, second}; });
  }

  // Outlets 1-4 as bits 0-3.
  int OutletBits() const {
    int bits = 0;
    for (int outlet = 1; outlet <= 4; ++outlet) bits |= (GetState(outlet) == 1 ? 1 : 0) << (outlet - 1);
    return bits;
  }

  void SetRule(int hour_box, int hour, int minute) {
    SetState(hour_box, hour + 1);
    SetState(hour_box + 1, minute + 1);
  }

  void SetBand(int outlet, int on_value, int off_value) {
    SetState(30 + outlet, 1);
    SetState(kFirstBandWidget - 2 + 2 * outlet, on_value);
    SetState(kFirstBandWidget - 1 + 2 * outlet, off_value);
  }

  AutomationHooks hooks_;
  std::vector<int> reports_;
  int menu_refreshes_ = 0;
  int temperature_ = 0;
};

TEST_F(AutomationTest, RuleFiresThroughItsWholeMinuteOnly) {
  SetRule(41, 7, 30);  // outlet 1 on at 07:30
  struct Tick {
    int minute, second;
    bool fires;
  };
  for (const Tick& tick : {Tick{29, 59, false}, Tick{30, 0, true}, Tick{30, 31, true}, Tick{30, 59, true},
                           Tick{31, 0, false}}) {
    SetState(1, 0);
    reports_.clear();
    SetClock(2026, 3, 14, 7, tick.minute, tick.second);
    const std::string shown = ApplyScheduleRules(hooks_);
    EXPECT_EQ(shown, "07:" + TwoDigits(tick.minute) + ":" + TwoDigits(tick.second));
    EXPECT_EQ(GetState(1), tick.fires ? 1 : 0) << shown;
    EXPECT_EQ(reports_, tick.fires ? std::vector<int>{1} : std::vector<int>{}) << shown;
  }
  EXPECT_EQ(menu_refreshes_, 3);
}

TEST_F(AutomationTest, StatusBarShowsDateAndTimeAndMidnightChangesBoth) {
  SetRule(47, 23, 59);  // outlet 4 on at 23:59
  SetClock(2026, 12, 31, 23, 59, 59);
  ApplyScheduleRules(hooks_);
  EXPECT_EQ(GetStatusText(kStatusBar, 1), "31.12.2026");
  EXPECT_EQ(GetStatusText(kStatusBar, 2), "23:59:59");
  EXPECT_EQ(reports_, std::vector<int>{8});
  SetClock(2027, 1, 1, 0, 0, 0);
  ApplyScheduleRules(hooks_);
  EXPECT_EQ(GetStatusText(kStatusBar, 1), "01.01.2027");
  EXPECT_EQ(GetStatusText(kStatusBar, 2), "00:00:00");
  EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(AutomationTest, EqualOnAndOffTimesEndEachTickOff) {
  SetRule(45, 12, 0);  // outlet 3 on at 12:00
  SetRule(53, 12, 0);  // outlet 3 off at 12:00
  SetState(3, 1);
  for (int second : {0, 1, 59}) {
    reports_.clear();
    SetClock(2026, 6, 1, 12, 0, second);
    ApplyScheduleRules(hooks_);
    EXPECT_EQ(reports_, (std::vector<int>{4, 0}));
    EXPECT_EQ(GetState(3), 0);
  }
}

TEST_F(AutomationTest, HalfSetRuleNeverFires) {
  SetState(43, 8);  // hour "07", minute left empty, as a hand-edited file can leave it
  SetState(44, 0);
  for (int minute : {0, 30, 59}) {
    SetClock(2026, 6, 1, 7, minute, 0);
    ApplyScheduleRules(hooks_);
  }
  SetState(43, 0);  // and the mirror case: minute "00" with an empty hour
  SetState(44, 1);
  SetClock(2026, 6, 1, 0, 0, 0);
  ApplyScheduleRules(hooks_);
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(OutletBits(), 0);
}

TEST_F(AutomationTest, RepeatedHourFollowsTheLocalClock) {
  // When daylight-saving time ends, 02:30 comes round twice; the rule goes by the clock on the
  // wall and fires in both.
  SetRule(49, 2, 30);  // outlet 1 off at 02:30
  for (int pass = 0; pass < 2; ++pass) {
    SetState(1, 1);
    SetClock(2026, 10, 25, 2, 30, 10);
    ApplyScheduleRules(hooks_);
    EXPECT_EQ(GetState(1), 0);
    SetClock(2026, 10, 25, 2, 59, 59);
    ApplyScheduleRules(hooks_);
  }
  EXPECT_EQ(reports_, (std::vector<int>{0, 0}));
}

TEST_F(AutomationTest, EditingKeepsBothHalvesOfARuleTogether) {
  std::array<std::int8_t, 65> table{};
  // An hour picked for an empty minute makes the minute "00"; only the hour is recorded.
  SetState(41, 8);
  EditSchedule(41, table);
  EXPECT_EQ(GetState(42), 1);
  EXPECT_EQ(GetText(42), "00");
  EXPECT_EQ(table[1], 8);
  EXPECT_EQ(table[2], 0);
  // A minute picked for an empty hour makes the hour "00".
  SetState(56, 31);
  EditSchedule(56, table);
  EXPECT_EQ(GetState(55), 1);
  EXPECT_EQ(table[16], 31);
  EXPECT_EQ(table[15], 0);
  // Emptying either half empties the other; a set partner is left as it is otherwise.
  SetState(42, 0);
  EditSchedule(42, table);
  EXPECT_EQ(GetState(41), 0);
  EXPECT_EQ(table[1], 8);  // the hour's slot keeps what the user last gave it
  SetState(55, 24);
  EditSchedule(55, table);
  EXPECT_EQ(GetState(56), 31);
  EXPECT_EQ(table[15], 24);
  // The ":" labels only record.
  EditSchedule(57, table);
  EXPECT_EQ(GetState(56), 31);
  // A rule set during its own minute fires at the next tick.
  SetClock(2026, 1, 1, 23, 30, 5);
  ApplyScheduleRules(hooks_);
  EXPECT_EQ(OutletBits(), 0);  // outlet 4 off rule, already off
  EXPECT_EQ(reports_, std::vector<int>{0});
}

struct BandCase {
  int on_value, off_value, temperature;
  int start_state, end_state, reports;
  bool reading_missing = false;  // the device is plugged in but has given no fresh reading
};

TEST_F(AutomationTest, ThermostatBand) {
  const std::vector<BandCase> cases = {
      // band 20 / 25: on at or below 20, off at or above 25, hands off in between
      {20, 25, 19, 0, 1, 1}, {20, 25, 20, 0, 1, 1}, {20, 25, 21, 0, 0, 0}, {20, 25, 21, 1, 1, 0},
      {20, 25, 24, 1, 1, 0}, {20, 25, 25, 1, 0, 1}, {20, 25, 99, 1, 0, 1},
      // the same band with its fields swapped
      {25, 20, 19, 0, 1, 1}, {25, 20, 20, 0, 1, 1}, {25, 20, 21, 0, 0, 0}, {25, 20, 24, 1, 1, 0},
      {25, 20, 25, 1, 0, 1},
      // equal values at the temperature: on, then off, two reports
      {22, 22, 22, 0, 0, 2}, {22, 22, 21, 0, 1, 1}, {22, 22, 23, 1, 0, 1},
      // below zero
      {-10, -5, -11, 0, 1, 1}, {-10, -5, -7, 0, 0, 0}, {-10, -5, -5, 1, 0, 1},
      // readings beyond what a signed byte holds still count as hot
      {20, 25, 130, 1, 0, 1}, {20, 25, 150, 1, 0, 1}, {-99, 99, 128, 1, 0, 1},
      // no fresh reading: off at every tick, whatever the last value (or the 0 of none) says
      {20, 25, 19, 1, 0, 1, true}, {20, 25, 19, 0, 0, 1, true}, {20, 25, 22, 1, 0, 1, true},
      {20, 25, 0, 0, 0, 1, true},
  };
  for (const BandCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.on_value << "/" << c.off_value << " at " << c.temperature
                                    << (c.reading_missing ? ", no fresh reading" : ""));
    hooks_.reading_missing = [missing = c.reading_missing] { return missing; };
    SetBand(2, c.on_value, c.off_value);
    SetState(2, c.start_state);
    temperature_ = c.temperature;
    reports_.clear();
    ApplyThermostat(hooks_);
    EXPECT_EQ(GetState(2), c.end_state);
    EXPECT_EQ(static_cast<int>(reports_.size()), c.reports);
  }
}

TEST_F(AutomationTest, ThermostatLeavesDisabledOutletsAndReassertsEnabledOnes) {
  for (int outlet = 1; outlet <= 4; ++outlet) {
    SetBand(outlet, 20, 25);
    SetState(30 + outlet, 0);
  }
  SetState(33, 1);  // only outlet 3 enabled
  temperature_ = 10;
  SetState(1, 0);
  SetState(4, 1);
  ApplyThermostat(hooks_);
  EXPECT_EQ(OutletBits(), 0b1100);
  EXPECT_EQ(reports_, std::vector<int>{0b1100});
  // Switched off by hand (or by a schedule rule) below the band: on again at the next tick.
  SetState(3, 0);
  ApplyThermostat(hooks_);
  EXPECT_EQ(GetState(3), 1);
  // Inside the band the hand's choice stays.
  temperature_ = 22;
  SetState(3, 0);
  reports_.clear();
  ApplyThermostat(hooks_);
  EXPECT_EQ(GetState(3), 0);
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(menu_refreshes_, 2);
  // Without a fresh reading only the enabled outlet is switched off.
  hooks_.reading_missing = [] { return true; };
  temperature_ = 10;
  SetState(3, 1);
  ApplyThermostat(hooks_);
  EXPECT_EQ(OutletBits(), 0b1000);
}

TEST_F(AutomationTest, BandEditingOnlyRecords) {
  std::array<std::int8_t, 22> table{};
  SetState(68, -42);
  EditThermostatBand(68, table);
  SetState(82, 99);
  EditThermostatBand(82, table);
  EditThermostatBand(66, table);  // not a band field
  EXPECT_EQ(table[2], -42);
  EXPECT_EQ(table[16], 99);
  EXPECT_EQ(table[0], 0);
  EXPECT_TRUE(reports_.empty());
}

// With no device, every switch the rules make ends in the no-device box. The timers go on ticking
// inside the box's modal loop; they must neither open a second box on top of it nor stop
// switching the check boxes.
AutomationHooks* running_hooks = nullptr;
// Once the test has seen what it needs, the ticks stop switching, so no box opens that nobody
// would answer.
std::atomic<bool> rules_stopped{false};

void CALLBACK ClockTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!rules_stopped) ApplyScheduleRules(*running_hooks);
}
void CALLBACK ThermostatTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!rules_stopped) ApplyThermostat(*running_hooks);
}

TEST_F(AutomationTest, DeviceAbsentWhileRulesFire) {
  DeviceLink absent([](const std::string&) {});
  struct Send {
    int bits;
    bool box_open;
    int boxes_shown;
  };
  std::vector<Send> sends;
  hooks_.send_outlet_report = [&] {
    sends.push_back({OutletBits(), IsMessageBoxOpen(), MessageBoxesShown()});
    absent.SendOutletReport();
  };
  std::atomic<int> temperature{0};
  hooks_.rounded_temperature = [&] { return temperature.load(); };
  SetRule(41, 7, 30);   // outlet 1 on at 07:30
  SetBand(2, 20, 25);   // outlet 2 on while cold
  SetClock(2026, 3, 14, 7, 30, 10);
  running_hooks = &hooks_;
  rules_stopped = false;
  const int boxes_before = MessageBoxesShown();
  SetTimer(NativeWindowHandle(0), 2, 1000, ClockTick);
  SetTimer(NativeWindowHandle(0), 3, 500, ThermostatTick);

  std::atomic<bool> done{false};
  std::atomic<int> most_boxes_seen_open{0};
  std::thread user([&] {
    for (int round = 0; round < 2; ++round) {
      // Let the box stand while several ticks of both timers run inside it; halfway, it warms up
      // above the band, and the thermostat must still switch outlet 2 off behind the box.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!IsMessageBoxOpen() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::this_thread::sleep_for(std::chrono::milliseconds(1300));
      if (round == 0) temperature = 30;
      std::this_thread::sleep_for(std::chrono::milliseconds(1300));
      most_boxes_seen_open = std::max(most_boxes_seen_open.load(), MessageBoxesShown() - boxes_before - round);
      if (round == 1) rules_stopped = true;
      AnswerMessageBox(IDOK, 20000);
    }
    done = true;
    PostMessageA(NativeWindowHandle(0), WM_NULL, 0, 0);
  });
  while (!done) WaitForEvent();
  user.join();
  KillTimer(NativeWindowHandle(0), 2);
  KillTimer(NativeWindowHandle(0), 3);
  running_hooks = nullptr;

  EXPECT_EQ(most_boxes_seen_open.load(), 1);  // one box, never one on top of another
  EXPECT_GE(MessageBoxesShown() - boxes_before, 2);  // a send after the box was closed shows it again
  int switched_off_behind_box = 0;
  int sends_behind_box = 0;
  for (const Send& send : sends) {
    if (!send.box_open) continue;
    ++sends_behind_box;
    if ((send.bits & 0b10) == 0) ++switched_off_behind_box;
    EXPECT_EQ(send.bits & 0b1, 1);  // the schedule keeps outlet 1 on
  }
  EXPECT_GE(sends_behind_box, 4);
  EXPECT_GE(switched_off_behind_box, 1);
  EXPECT_EQ(GetState(1), 1);
  EXPECT_EQ(GetState(2), 0);
}

}  // namespace
}  // namespace qx
