#pragma once
// The temperature alarms: when the tray tells the user that the temperature has left its limits,
// that the sensor has gone silent or that the SwitchUnit has gone. The rules are a function of
// what the program sees at each tick (the readings since the tick before, the clock, the device's
// presence, the limits and which rules are switched on); they remember only when each condition
// began and when it last warned. Plain C++, so the host tests walk through hours of readings in
// microseconds.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The user's limits, in whole degrees. They are the program's own state, kept in the settings
// file, not in widgets: the rules read them whether or not a window shows them.
struct AlarmSettings {
  bool below_on = false;
  int below = 18;
  bool above_on = false;
  int above = 30;

  bool operator==(const AlarmSettings&) const = default;
};

inline constexpr int kLowestAlarmLimit = -99;
inline constexpr int kHighestAlarmLimit = 99;

// A limit outside -99..99 is taken as the nearest end.
[[nodiscard]] int ClampAlarmLimit(int limit);

// In the order the console lists them.
enum class AlarmCondition { kBelow, kAbove, kSensorSilent, kDeviceGone };
inline constexpr std::size_t kAlarmConditionCount = 4;

// "below", "above", "sensor_silent", "device_gone".
[[nodiscard]] std::string_view AlarmConditionName(AlarmCondition condition);

// What a tick sees. Times are milliseconds of a clock that never goes back (GetTickCount64).
struct AlarmInputs {
  std::uint64_t now = 0;
  bool device_present = false;
  // Whether the latest accepted reading is fresh, as the thermostat's fail-safe judges it.
  bool reading_fresh = false;
  // The latest accepted reading, in sixteenths of a degree, as the notices show it; and the lowest
  // and highest of every reading accepted since the tick before (the latest's own value when none
  // was). All three are looked at only while the reading is fresh.
  int sixteenths = 0;
  int lowest = 0;
  int highest = 0;
  bool thermostat_enabled = false;  // any outlet's thermostat switched on
  bool schedule_enabled = false;    // any time rule set
  AlarmSettings settings;
};

// A temperature below or above a limit counts only after every reading of this long was beyond
// it; the way back takes as long.
inline constexpr std::uint64_t kAlarmPersistenceMs = 60'000;
// A condition that began again warns again only this long after its last warning.
inline constexpr std::uint64_t kAlarmRepeatMs = 15 * 60'000;
// A SwitchUnit is called silent only once it has been present this long (it needs a moment for
// its first report, and so does the program after its start).
inline constexpr std::uint64_t kSensorSettleMs = 10'000;
// The way back: at least half a degree inside the limit.
inline constexpr int kWayBackSixteenths = 8;

// Shows a notification's text (Windows-1251); false if the user could not be told.
using AlarmNotifier = std::function<bool(const std::string& text)>;

class AlarmRules {
 public:
  // One tick: hands `tell` the notifications it calls for, in the order of the conditions;
  // usually none. A notification `tell` could not show counts as untold and is offered again at
  // the following ticks: a warning while its condition stands and the readings are beyond the
  // limit, a "back to normal" while the way back holds. The 15 minutes count from a warning shown.
  void Update(const AlarmInputs& in, const AlarmNotifier& tell);

  // The conditions that stand now (each warned, or would have but for the 15 minutes or a tray
  // that could not show it); one whose "back to normal" is still untold stands until it is told.
  [[nodiscard]] std::vector<AlarmCondition> StandingConditions() const;

 private:
  struct Memory {
    std::optional<std::uint64_t> began;  // below/above: readings beyond the limit since
    bool standing = false;
    bool warned = false;                       // this standing has been warned of
    std::optional<std::uint64_t> last_warned;  // outlives the standing, for the 15 minutes
    std::optional<std::uint64_t> back_since;   // below/above: readings well inside since
  };

  void UpdateLimit(AlarmCondition condition, bool enabled, bool beyond, bool inside, bool normal, const AlarmInputs& in,
                   const AlarmNotifier& tell);
  void UpdatePlain(AlarmCondition condition, bool holds, const AlarmInputs& in, const AlarmNotifier& tell);
  void WarnIfDue(AlarmCondition condition, const AlarmInputs& in, const AlarmNotifier& tell);
  Memory& Of(AlarmCondition condition) { return memory_[static_cast<std::size_t>(condition)]; }

  std::array<Memory, kAlarmConditionCount> memory_;
  std::optional<std::uint64_t> present_since_;
};

}  // namespace qx
