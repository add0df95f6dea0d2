// The alarm rules, tick by tick: each case scripts what the program would see second by second
// (the reading, the device, the limits, which rules are on) and expects exactly the notices, at
// the second they are due, and the conditions left standing at the end.
#include "automation/alarm_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/alarm_texts.h"

namespace qx {
namespace {

using test::AboveText;
using test::BelowText;
using test::kGoneText;
using test::kSilentText;
using test::kSilentThermostatText;
using test::NormalText;

constexpr int C(double degrees) {
  return static_cast<int>(degrees * 16);
}

// What the program sees at second t: a fresh reading (nothing: none is fresh) and the readings
// accepted since the second before, the device, the limits, the other rules, and whether the tray
// takes a notification.
struct Seen {
  std::optional<int> reading;
  std::vector<int> earlier{};  // ahead of `reading`, in this second
  bool present = true;
  AlarmSettings settings{.below_on = true, .above_on = true};
  bool thermostat = false;
  bool schedule = false;
  bool tray = true;
};

using Script = std::function<Seen(int t)>;
using Notice = std::pair<int, std::string>;  // second, text

struct AlarmCase {
  const char* what;
  int seconds;  // ticks at 0, 1, ..., seconds
  Script script;
  std::vector<Notice> notices;
  std::vector<AlarmCondition> standing_at_end;
};

std::ostream& operator<<(std::ostream& out, const AlarmCase& c) {
  return out << c.what;
}

Seen Reading(double degrees) {
  return Seen{.reading = C(degrees)};
}

// Ten readings in second t, the last `latest`, the others `usual` but one `odd` on even seconds:
// one reading in twenty.
Seen Wobbling(int t, double latest, double usual, double odd) {
  Seen seen = Reading(latest);
  seen.earlier.assign(9, C(usual));
  if (t % 2 == 0) seen.earlier[4] = C(odd);
  return seen;
}

Seen Refused(Seen seen) {
  seen.tray = false;
  return seen;
}

Seen BelowOnly(std::optional<int> reading) {
  return Seen{.reading = reading, .settings = {.below_on = true}};
}

// No limit on, and no other rule unless `thermostat` or `schedule`.
Seen NoAlarms(bool thermostat, bool schedule) {
  Seen seen;
  seen.settings = {};
  seen.thermostat = thermostat;
  seen.schedule = schedule;
  return seen;
}

constexpr int kMinutes15 = 15 * 60;

const AlarmCase kCases[] = {
    {"below: every reading of 60 s strictly beyond; one at the limit itself starts the count again",
     400,
     [](int t) {
       if (t < 30) return Reading(14.5);
       if (t == 30) return Reading(18.0);
       if (t < 200) return Reading(17.9375);
       return Reading(20.0);
     },
     {{91, BelowText("17.9", "18")}, {260, NormalText("20.0")}},
     {}},
    {"above: 60 s strictly above, then the way back needs half a degree for 60 s",
     600,
     [](int t) {
       if (t < 10) return Reading(30.0);  // at the limit: nothing begins
       if (t < 100) return Reading(31.0);
       if (t < 200) return Reading(29.6);  // back, but by less than half a degree
       if (t < 230) return Reading(29.5);
       if (t == 230) return Reading(30.0);  // one reading on the limit again restarts the way back
       return Reading(29.5);
     },
     {{70, AboveText("31.0", "30")}, {291, NormalText("29.5")}},
     {}},
    {"15 minutes: a condition that begins again soon warns when they are over, if still standing",
     1300,
     [](int t) {
       if (t < 100) return Reading(15.0);   // warns at 60
       if (t < 200) return Reading(20.0);   // back at 160
       if (t < 300) return Reading(16.0);   // begins again at 260: too soon
       if (t < 400) return Reading(25.0);   // ended unwarned at 360: no word
       if (t < 1100) return Reading(17.0);  // begins again at 460, warned at 960
       return Reading(19.0);                // back at 1160
     },
     {{60, BelowText("15.0", "18")},
      {160, NormalText("20.0")},
      {960, BelowText("17.0", "18")},
      {1160, NormalText("19.0")}},
     {}},
    {"15 minutes: a condition that begins again later warns at once",
     1200,
     [](int t) {
       if (t < 100) return Reading(40.0);   // warns at 60
       if (t < 1000) return Reading(20.0);  // back at 160
       return Reading(41.0);                // begins at 1060
     },
     {{60, AboveText("40.0", "30")}, {160, NormalText("20.0")}, {1060, AboveText("41.0", "30")}},
     {AlarmCondition::kAbove}},
    {"flicker at a limit: never 60 s beyond, never 60 s back; one warning, no flood",
     1000,
     [](int t) {
       if (t < 300) return Reading(t % 2 ? 17.9375 : 18.0);  // before any warning
       if (t < 400) return Reading(17.0);                    // warns at 359
       return Reading(t % 2 ? 17.9375 : 18.5);               // a standing warning never ends
     },
     {{359, BelowText("17.0", "18")}},
     {AlarmCondition::kBelow}},
    {"both limits at once: straight from below to above, then back to normal once",
     500,
     [](int t) {
       if (t < 100) return Reading(10.0);
       if (t < 300) return Reading(35.0);  // below ends without "back to normal", above warns
       return Reading(25.0);
     },
     {{60, BelowText("10.0", "18")}, {160, AboveText("35.0", "30")}, {360, NormalText("25.0")}},
     {}},
    {"both limits at once: limits crossed over, a reading beyond both warns twice",
     100,
     [](int) {
       return Seen{.reading = C(22), .settings = {true, 25, true, 20}};
     },
     {{60, BelowText("22.0", "25")}, {60, AboveText("22.0", "20")}},
     {AlarmCondition::kBelow, AlarmCondition::kAbove}},
    {"a limit switched off while its warning stands ends it silently; on again, the 15 minutes hold",
     1100,
     [](int t) {
       Seen seen = BelowOnly(C(5.0));
       if (t >= 100 && t < 200) seen.settings.below_on = false;
       return seen;
     },
     {{60, BelowText("5.0", "18")}, {960, BelowText("5.0", "18")}},
     {AlarmCondition::kBelow}},
    {"a limit switched off on its way: the 60 s start again",
     200,
     [](int t) {
       Seen seen = BelowOnly(C(5.0));
       if (t == 50) seen.settings.below_on = false;
       return seen;
     },
     {{111, BelowText("5.0", "18")}},
     {AlarmCondition::kBelow}},
    {"below: one reading in twenty at the limit, though every second's latest is below it: no warning",
     300,
     [](int t) { return Wobbling(t, 17.9375, 17.9375, 18.0); },
     {},
     {}},
    {"above: one reading in twenty less than half a degree back keeps the warning standing",
     400,
     [](int t) {
       if (t < 100) return Reading(31.0);
       return Wobbling(t, 29.5, 29.5, 29.5625);
     },
     {{60, AboveText("31.0", "30")}},
     {AlarmCondition::kAbove}},
    {"a warning the tray refused is given once it takes it; the 15 minutes count from then",
     1100,
     [](int t) {
       if (t < 100) return Refused(Reading(5.0));  // due at 60
       if (t < 200) return Reading(5.0);
       if (t < 300) return Reading(20.0);  // back at 260
       return Reading(5.0);                // begins again at 300
     },
     {{100, BelowText("5.0", "18")}, {260, NormalText("20.0")}, {1000, BelowText("5.0", "18")}},
     {AlarmCondition::kBelow}},
    {"a refused warning is given only while the readings are beyond; one that ended meanwhile, never",
     300,
     [](int t) {
       if (t < 80) return Refused(Reading(5.0));    // due at 60
       if (t < 100) return Refused(Reading(20.0));  // the way back begins
       if (t < 200) return Reading(20.0);           // "20.0 below 18" would be untrue; back at 140, silently
       return Reading(5.0);                         // begins at 200, and nothing holds it back
     },
     {{260, BelowText("5.0", "18")}},
     {AlarmCondition::kBelow}},
    {"a refused \"back to normal\" is said once the tray takes it, while the way back holds",
     300,
     [](int t) {
       if (t < 100) return Reading(5.0);                             // warns at 60
       if (t < 200) return Refused(Reading(t < 150 ? 20.0 : 21.0));  // back due at 160
       return Reading(21.0);
     },
     {{60, BelowText("5.0", "18")}, {200, NormalText("21.0")}},
     {}},
    {"a refused sensor silence is said once the tray takes it",
     100,
     [](int t) {
       Seen seen;
       seen.tray = t >= 30;
       return seen;
     },
     {{30, kSilentText}},
     {AlarmCondition::kSensorSilent}},
    {"no readings at all: silent 10 s after start, never below or above",
     300,
     [](int) { return Seen{}; },
     {{10, kSilentText}},
     {AlarmCondition::kSensorSilent}},
    {"no readings with only a thermostat on: it says the thermostat switched off",
     100,
     [](int) { return NoAlarms(true, false); },
     {{10, kSilentThermostatText}},
     {AlarmCondition::kSensorSilent}},
    {"no readings and nothing switched on: nothing to say", 100, [](int) { return NoAlarms(false, true); }, {}, {}},
    {"a sensor going silent after readings warns at once; a reading on its way is dropped meanwhile",
     400,
     [](int t) {
       if (t < 40) return Reading(10.0);
       if (t < 100) return Seen{};  // the fail-safe's notion: no fresh reading
       return Reading(10.0);
     },
     {{40, kSilentText}, {160, BelowText("10.0", "18")}},
     {AlarmCondition::kBelow}},
    {"device leaving and coming back: gone at once, back silent after 10 s, gone again within 15 min",
     1200,
     [](int t) {
       Seen seen = NoAlarms(false, true);
       if (t < 100) seen.reading = C(20);
       if (t >= 100 && t < 200) seen.present = false;    // gone at 100
       if (t >= 200 && t < 300) seen.thermostat = true;  // back without readings: silent at 210
       if (t >= 300) seen.present = false;               // gone again at 300: too soon; still gone at 1000
       return seen;
     },
     {{100, kGoneText}, {210, kSilentThermostatText}, {1000, kGoneText}},
     {AlarmCondition::kDeviceGone}},
    {"device gone with nothing switched on, or back within 10 s: no word",
     300,
     [](int t) {
       Seen seen = NoAlarms(false, false);
       seen.present = !(t >= 50 && t < 100);
       seen.thermostat = t >= 100;  // on again at 100 with no reading: silent not before 110
       if (t >= 105) seen.reading = C(21);
       return seen;
     },
     {},
     {}},
    {"a standing warning outlives the device's absence, and ends by readings after it",
     400,
     [](int t) {
       Seen seen = BelowOnly(C(t < 150 ? 12.0 : 22.0));
       if (t >= 100 && t < 150) seen = BelowOnly(std::nullopt), seen.present = false;
       return seen;
     },
     {{60, BelowText("12.0", "18")}, {100, kGoneText}, {210, NormalText("22.0")}},
     {}},
};

class AlarmRulesTest : public ::testing::TestWithParam<AlarmCase> {};

TEST_P(AlarmRulesTest, NoticesAtTheirSecond) {
  const AlarmCase& c = GetParam();
  // Any start: the clock is the system's time since its own start.
  constexpr std::uint64_t kStart = 7'654'321;
  AlarmRules rules;
  std::vector<Notice> seen;
  for (int t = 0; t <= c.seconds; ++t) {
    const Seen s = c.script(t);
    const int latest = s.reading.value_or(C(99));
    AlarmInputs in{.now = kStart + static_cast<std::uint64_t>(t) * 1000,
                   .device_present = s.present,
                   .reading_fresh = s.present && s.reading.has_value(),
                   .sixteenths = latest,
                   .lowest = latest,
                   .highest = latest,
                   .thermostat_enabled = s.thermostat,
                   .schedule_enabled = s.schedule,
                   .settings = s.settings};
    for (int earlier : s.earlier) {
      in.lowest = std::min(in.lowest, earlier);
      in.highest = std::max(in.highest, earlier);
    }
    rules.Update(in, [&](const std::string& text) {
      if (s.tray) seen.emplace_back(t, text);
      return s.tray;
    });
  }
  EXPECT_EQ(seen, c.notices);
  EXPECT_EQ(rules.StandingConditions(), c.standing_at_end);
}

INSTANTIATE_TEST_SUITE_P(Script, AlarmRulesTest, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace qx
