#pragma once
// The shell's own state for one run of the program. Everything else the program knows lives in
// the widgets (outlet states, policies, schedule and bands), except the alarms' limits and
// memory, which are kept here whether or not a window shows them.

#include <memory>

#include "app/history_recording.h"
#include "app/history_window.h"
#include "automation/alarm_rules.h"
#include "automation/automation_hooks.h"
#include "automation/settings_file.h"
#include "device/device_link.h"
#include "mqtt/mqtt_bridge.h"
#include "mqtt/mqtt_settings.h"

namespace qx {

struct Program {
  explicit Program(DeviceLink& link) : device(link) {}

  // The device handles, the sensor reader and the no-device message: the program's own link, or
  // a test's.
  DeviceLink& device;
  OutletNames outlet_names;
  ScheduleTable schedule_table{};
  ThermostatTable thermostat_table{};
  // How the timers' schedule and thermostat reach the report, the menu and the temperature.
  AutomationHooks automation;
  // The temperature history of this run, from start-up on.
  std::unique_ptr<HistoryRecording> history;
  // The history chart window and what it shows while it is open.
  HistoryView history_view;
  AlarmSettings alarm_settings;
  AlarmRules alarm_rules;
  // The [MQTT] group as read at start and changed since; the bridge exists only once MQTT has been
  // switched on in this run.
  MqttSettings mqtt_settings;
  std::unique_ptr<MqttBridge> mqtt;
  // Set when the shutdown sequence has begun.
  bool shutting_down = false;

  OutletName& Name(int outlet) { return outlet_names[static_cast<std::size_t>(outlet - 1)]; }
};

}  // namespace qx
