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
  // Taken at every tick, so that each span holds one second's readings.
  if (!hooks.take_reading_span || !hooks.take_reading_span(&in.lowest, &in.highest)) {
    in.lowest = in.sixteenths;
    in.highest = in.sixteenths;
  }
  in.settings = settings;
  // Which rules are on matters only while the SwitchUnit is absent or silent; while it reports,
  // the tick asks no widget.
  if (!in.device_present || !in.reading_fresh) {
    in.thermostat_enabled = AnyThermostatOn();
    in.schedule_enabled = AnyScheduleRuleSet();
  }
  // The tray refuses while its icon is not shown (Explorer restarting, a start at log-on before
  // the taskbar exists); the rules then offer the text again at the next tick, which is at most a
  // second after the icon is back.
  rules.Update(in, [](const std::string& text) { return ShowTrayWarning(kTrayIcon, ui::kMainTitle, text); });
}

}  // namespace qx
