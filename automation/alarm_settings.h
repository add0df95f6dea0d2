#pragma once
// The alarm limits' group of the settings file, "Предупреждения", after the five groups of the
// widgets. It is written only when a value differs from its default, so the file of a user who
// never set an alarm stays exactly as it was before there were alarms.

#include "automation/alarm_rules.h"

namespace qx {

// From the open preference file: a missing group or key gives its default, a limit outside
// -99..99 the nearest end, a switch anything but 1 off.
[[nodiscard]] AlarmSettings ReadAlarmSettings();
// Appends the group to the preference file being written, unless every value is its default.
void WriteAlarmSettings(const AlarmSettings& settings);

}  // namespace qx
