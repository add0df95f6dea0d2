#pragma once
// The numbers of the program's widgets, status bar and tray icon: the model that the device link,
// the automation and the windows share. The windows are built with these numbers and everything
// else finds its widget by them, so each is written down here once. Widgets of both windows share
// one number space; outlet n (1..kOutletCount) owns the widgets named after it below.
//
// Header only, and it includes nothing of ours, so device/, automation/ and app/ can all use it.

#include <cstddef>

namespace qx {

// The SwitchUnit's outlets. Every loop, range and table over "the outlets" runs to this.
inline constexpr int kOutletCount = 4;

inline constexpr int kStatusBar = 0;
inline constexpr int kConnectionField = 0;  // status-bar field: connected or not
inline constexpr int kTrayIcon = 1;

inline constexpr int kPanel = 0;  // the tabs of the main window

// Tab 1: the outlets and the temperature.
constexpr int OutletCheckBox(int outlet) {
  return outlet;
}
constexpr int NameField(int outlet) {
  return 4 + outlet;
}
inline constexpr int kTemperatureDisplay = 9;

// Tab 2: the start-up and exit policies.
constexpr int StartupBox(int outlet) {
  return 10 + outlet;
}
constexpr int ExitBox(int outlet) {
  return 14 + outlet;
}
constexpr int StartupLabel(int outlet) {
  return 18 + outlet;
}
constexpr int ExitLabel(int outlet) {
  return 22 + outlet;
}

// Tab 3: the schedule. Rules 0..3 switch outlets 1..4 on, rules 4..7 switch them off; each rule
// has an hour box and, after it, a minute box.
constexpr int ScheduleLabel(int outlet) {
  return 26 + outlet;
}
inline constexpr int kScheduleRuleCount = 2 * kOutletCount;  // an on rule and an off rule each
inline constexpr int kSwitchOnHeading = 39;
inline constexpr int kSwitchOffHeading = 40;
constexpr int ScheduleHourBox(int rule) {
  return 41 + 2 * rule;
}
constexpr int ScheduleMinuteBox(int rule) {
  return ScheduleHourBox(rule) + 1;
}
constexpr int SwitchOnHourBox(int outlet) {
  return ScheduleHourBox(outlet - 1);
}
constexpr int SwitchOnMinuteBox(int outlet) {
  return ScheduleMinuteBox(outlet - 1);
}
constexpr int SwitchOffHourBox(int outlet) {
  return ScheduleHourBox(kOutletCount + outlet - 1);
}
constexpr int SwitchOffMinuteBox(int outlet) {
  return ScheduleMinuteBox(kOutletCount + outlet - 1);
}
// The ":" between an outlet's hour and minute boxes, in the on and the off column.
constexpr int SwitchOnColon(int outlet) {
  return 55 + 2 * outlet;
}
constexpr int SwitchOffColon(int outlet) {
  return 56 + 2 * outlet;
}
inline constexpr int kFirstScheduleWidget = ScheduleHourBox(0);
inline constexpr int kLastScheduleBox = ScheduleMinuteBox(kScheduleRuleCount - 1);  // 56
inline constexpr int kLastScheduleWidget = 63;                                      // the ":" labels follow the boxes

// Tab 4: the thermostat. An outlet's band is a switch-on value and, after it, a switch-off value.
constexpr int ThermostatButton(int outlet) {
  return 30 + outlet;
}
constexpr int NumberLabel(int outlet) {  // tab 1's "n. " before each name
  return 34 + outlet;
}
inline constexpr int kSwitchOnBandBackground = 65;
inline constexpr int kSwitchOffBandBackground = 66;
constexpr int SwitchOnBandField(int outlet) {
  return 65 + 2 * outlet;
}
inline constexpr int kFirstBandWidget = SwitchOnBandField(1);  // 67
constexpr int SwitchOffBandField(int outlet) {
  return SwitchOnBandField(outlet) + 1;
}
inline constexpr int kLastBandWidget = 82;  // 75..82 name no widget
inline constexpr int kBandOnHeading = 83;
inline constexpr int kBandOffHeading = 84;
constexpr int SwitchOnUnitLabel(int outlet) {
  return 83 + 2 * outlet;
}
constexpr int SwitchOffUnitLabel(int outlet) {
  return 84 + 2 * outlet;
}
inline constexpr int kTemperatureLabel = 101;

// The Thermometer window's reading.
inline constexpr int kThermometerDisplay = 103;

// The history window: its range buttons, the writer's one-line message and the chart.
inline constexpr int kHistoryDayButton = 110;
inline constexpr int kHistoryWeekButton = 111;
inline constexpr int kHistoryMonthButton = 112;
inline constexpr int kHistoryProblemText = 113;
inline constexpr int kHistoryChart = 114;
// Its row of alarm limits under the chart: the text, then for the lower and the upper limit a
// check box, a number field and the unit.
inline constexpr int kAlarmRowText = 115;
inline constexpr int kBelowAlarmBox = 116;
inline constexpr int kBelowAlarmField = 117;
inline constexpr int kBelowAlarmUnit = 118;
inline constexpr int kAboveAlarmBox = 119;
inline constexpr int kAboveAlarmField = 120;
inline constexpr int kAboveAlarmUnit = 121;

// The MQTT window: the switch, a label and a field per setting, the button, the status line and
// the sentence about encryption.
inline constexpr int kMqttEnableBox = 130;
inline constexpr int kMqttServerLabel = 131;
inline constexpr int kMqttServerField = 132;
inline constexpr int kMqttPortLabel = 133;
inline constexpr int kMqttPortField = 134;
inline constexpr int kMqttUserLabel = 135;
inline constexpr int kMqttUserField = 136;
inline constexpr int kMqttPasswordLabel = 137;
inline constexpr int kMqttPasswordField = 138;
inline constexpr int kMqttPrefixLabel = 139;
inline constexpr int kMqttPrefixField = 140;
inline constexpr int kMqttNodeLabel = 141;
inline constexpr int kMqttNodeField = 142;
inline constexpr int kMqttApplyButton = 143;
inline constexpr int kMqttStatusText = 144;
inline constexpr int kMqttNoticeText = 145;

// Where a schedule widget's and a band widget's stored value sit in their tables (the settings
// file's ScheduleTable and ThermostatTable): the first box or field has slot 1, slot 0 is never used.
constexpr std::size_t ScheduleSlot(int widget) {
  return static_cast<std::size_t>(widget - (kFirstScheduleWidget - 1));
}
constexpr std::size_t ThermostatSlot(int widget) {
  return static_cast<std::size_t>(widget - (kFirstBandWidget - 1));
}

}  // namespace qx
