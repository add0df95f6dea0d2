#include "automation/alarms.h"

#include "model/shown_texts.h"
#include "model/widget_numbers.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

bool AnyThermostatOn() {
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (GetState(ThermostatButton(outlet)) == 1) return true;
  }
  return false;
}

// The hour and minute of a rule are set or empty together; the hour box tells.
bool AnyScheduleRuleSet() {
  for (int rule = 0; rule < kScheduleRuleCount; ++rule) {
    if (GetState(ScheduleHourBox(rule)) > 0) return true;
  }
  return false;
}

}  // namespace

void ApplyAlarmRules(const AutomationHooks& hooks, const AlarmSettings& settings, AlarmRules& rules) {
  AlarmInputs in;
  in.now = hooks.tick_count ? hooks.tick_count() : 0;
  in.device_present = hooks.device_present && hooks.device_present();
  in.reading_fresh = hooks.reading_fresh && hooks.reading_fresh();
  in.sixteenths = hooks.temperature_sixteenths ? hooks.temperature_sixteenths() : 0;
  in.settings = settings;
  // Which rules are on matters only while the SwitchUnit is absent or silent; while it reports,
  // the tick asks no widget.
  if (!in.device_present || !in.reading_fresh) {
    in.thermostat_enabled = AnyThermostatOn();
    in.schedule_enabled = AnyScheduleRuleSet();
  }
  for (const std::string& text : rules.Update(in)) (void)ShowTrayWarning(kTrayIcon, ui::kMainTitle, text);
}

}  // namespace qx
