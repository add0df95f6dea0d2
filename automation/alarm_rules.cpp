#include "automation/alarm_rules.h"

#include <algorithm>

#include "model/shown_texts.h"
#include "runtime/text.h"

namespace qx {
namespace {

// Windows-1251: "Температура ", " ниже ", " выше ", "Температура снова в норме: ".
constexpr char kTemperature[] = "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 ";
constexpr char kBelowWord[] = " \xED\xE8\xE6\xE5 ";
constexpr char kAboveWord[] = " \xE2\xFB\xF8\xE5 ";
constexpr char kBackToNormal[] =
    "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 \xF1\xED\xEE\xE2\xE0 \xE2 \xED\xEE\xF0\xEC\xE5: ";
// "Нет данных от датчика температуры." and, with a thermostat on, " Термостат выключил свои розетки."
constexpr char kSensorSilent[] =
    "\xCD\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5 \xEE\xF2 \xE4\xE0\xF2\xF7\xE8\xEA\xE0 "
    "\xF2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xFB.";
constexpr char kThermostatOff[] =
    " \xD2\xE5\xF0\xEC\xEE\xF1\xF2\xE0\xF2 \xE2\xFB\xEA\xEB\xFE\xF7\xE8\xEB \xF1\xE2\xEE\xE8 "
    "\xF0\xEE\xE7\xE5\xF2\xEA\xE8.";
// After "USB отключен": ": расписание и термостат не работают".
constexpr char kRulesStopped[] =
    ": \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xE8 \xF2\xE5\xF0\xEC\xEE\xF1\xF2\xE0\xF2 \xED\xE5 "
    "\xF0\xE0\xE1\xEE\xF2\xE0\xFE\xF2";

constexpr int kSixteenthsPerDegree = 16;

// The reading as the windows show it.
std::string ReadingText(int sixteenths) {
  return FixedDecimalText(static_cast<float>(sixteenths) / kSixteenthsPerDegree, 1) + ui::kDegreesCelsius;
}

std::string LimitText(int limit) {
  return DecimalText(limit) + ui::kDegreesCelsius;
}

std::string WarningText(AlarmCondition condition, const AlarmInputs& in) {
  switch (condition) {
    case AlarmCondition::kBelow:
      return Concatenate(kTemperature, ReadingText(in.sixteenths), kBelowWord, LimitText(in.settings.below));
    case AlarmCondition::kAbove:
      return Concatenate(kTemperature, ReadingText(in.sixteenths), kAboveWord, LimitText(in.settings.above));
    case AlarmCondition::kSensorSilent:
      return in.thermostat_enabled ? Concatenate(kSensorSilent, kThermostatOff) : std::string(kSensorSilent);
    case AlarmCondition::kDeviceGone:
      return Concatenate(ui::kDeviceUnplugged, kRulesStopped);
  }
  return {};
}

// Ends a condition, standing or on its way. When it last warned is kept: a condition that comes
// back (or a limit switched off and on again) cannot get round the 15 minutes.
template <class Memory>
void Forget(Memory& m) {
  const auto last_warned = m.last_warned;
  m = Memory{};
  m.last_warned = last_warned;
}

bool Elapsed(std::optional<std::uint64_t> since, std::uint64_t now, std::uint64_t span) {
  return since && now >= *since && now - *since >= span;
}

}  // namespace

int ClampAlarmLimit(int limit) {
  return std::clamp(limit, kLowestAlarmLimit, kHighestAlarmLimit);
}

std::string_view AlarmConditionName(AlarmCondition condition) {
  switch (condition) {
    case AlarmCondition::kBelow:
      return "below";
    case AlarmCondition::kAbove:
      return "above";
    case AlarmCondition::kSensorSilent:
      return "sensor_silent";
    case AlarmCondition::kDeviceGone:
      return "device_gone";
  }
  return {};
}

void AlarmRules::Update(const AlarmInputs& in, const AlarmNotifier& tell) {
  if (!in.device_present) {
    present_since_.reset();
  } else if (!present_since_) {
    present_since_ = in.now;
  }

  const AlarmSettings& s = in.settings;
  const int below = s.below * kSixteenthsPerDegree;
  const int above = s.above * kSixteenthsPerDegree;
  // Every reading since the tick before counts, not just the one that happens to be the latest:
  // below means the highest of them was below the limit, back inside means the lowest was inside.
  const bool beyond_below = s.below_on && in.highest < below;
  const bool beyond_above = s.above_on && in.lowest > above;
  // "Back to normal" would be untrue while the readings are beyond the other limit; the way back
  // from one limit straight past the other ends the first warning silently, and the other warns.
  UpdateLimit(AlarmCondition::kBelow, s.below_on, in.highest < below, in.lowest >= below + kWayBackSixteenths,
              !beyond_above, in, tell);
  UpdateLimit(AlarmCondition::kAbove, s.above_on, in.lowest > above, in.highest <= above - kWayBackSixteenths,
              !beyond_below, in, tell);

  const bool any_limit = s.below_on || s.above_on;
  UpdatePlain(AlarmCondition::kSensorSilent,
              in.device_present && !in.reading_fresh && (any_limit || in.thermostat_enabled) &&
                  Elapsed(present_since_, in.now, kSensorSettleMs),
              in, tell);
  UpdatePlain(AlarmCondition::kDeviceGone,
              !in.device_present && (any_limit || in.thermostat_enabled || in.schedule_enabled), in, tell);
}

// A limit's condition begins once every fresh reading for kAlarmPersistenceMs was beyond it, and
// ends once every fresh reading for as long was back inside by half a degree; readings in the
// half degree between keep it as it is. Without a fresh reading nothing is known: a condition on
// its way is dropped, a standing one stays.
void AlarmRules::UpdateLimit(AlarmCondition condition, bool enabled, bool beyond, bool inside, bool normal,
                             const AlarmInputs& in, const AlarmNotifier& tell) {
  Memory& m = Of(condition);
  if (!enabled) {
    // Switched off: whatever stood ends without a word.
    Forget(m);
    return;
  }
  if (!m.standing) {
    if (!in.reading_fresh || !beyond) {
      m.began.reset();
      return;
    }
    if (!m.began) m.began = in.now;
    if (!Elapsed(m.began, in.now, kAlarmPersistenceMs)) return;
    m.standing = true;
  } else {
    if (in.reading_fresh && inside) {
      if (!m.back_since) m.back_since = in.now;
    } else {
      m.back_since.reset();
    }
    if (Elapsed(m.back_since, in.now, kAlarmPersistenceMs)) {
      // Untold, the user would go on believing the warning: the condition stands until the tray
      // takes the words, or the way back breaks off.
      if (m.warned && normal && !tell(Concatenate(kBackToNormal, ReadingText(in.sixteenths)))) return;
      Forget(m);
      return;
    }
    // A warning held back (by the 15 minutes, or by a tray that could not show it) says that the
    // reading is beyond the limit, so it is given only at a tick when that is true.
    if (!in.reading_fresh || !beyond) return;
  }
  WarnIfDue(condition, in, tell);
}

// Sensor silence and a gone device stand exactly while they hold, and end silently.
void AlarmRules::UpdatePlain(AlarmCondition condition, bool holds, const AlarmInputs& in, const AlarmNotifier& tell) {
  Memory& m = Of(condition);
  if (!holds) {
    Forget(m);
    return;
  }
  m.standing = true;
  WarnIfDue(condition, in, tell);
}

// A standing condition not yet warned of warns as soon as its last warning is 15 minutes old (at
// once, if it never warned). A warning the tray did not show is no warning: it is offered again
// at the next tick, and the 15 minutes count from the one the user saw.
void AlarmRules::WarnIfDue(AlarmCondition condition, const AlarmInputs& in, const AlarmNotifier& tell) {
  Memory& m = Of(condition);
  if (m.warned || (m.last_warned && !Elapsed(m.last_warned, in.now, kAlarmRepeatMs))) return;
  if (!tell(WarningText(condition, in))) return;
  m.warned = true;
  m.last_warned = in.now;
}

std::vector<AlarmCondition> AlarmRules::StandingConditions() const {
  std::vector<AlarmCondition> standing;
  for (std::size_t i = 0; i < kAlarmConditionCount; ++i) {
    if (memory_[i].standing) standing.push_back(static_cast<AlarmCondition>(i));
  }
  return standing;
}

}  // namespace qx
