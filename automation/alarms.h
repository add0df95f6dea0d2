#pragma once
// The alarms at work: once a second the rules look at the sensor, the device and the limits, and
// what they call for is shown as a notification of the tray icon.

#include "automation/alarm_rules.h"
#include "automation/automation_hooks.h"

namespace qx {

void ApplyAlarmRules(const AutomationHooks& hooks, const AlarmSettings& settings, AlarmRules& rules);

}  // namespace qx
