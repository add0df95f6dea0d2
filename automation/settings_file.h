#pragma once
// The settings file "Quellarotix.ini": the outlet names, the start-up and exit policies, the
// schedule boxes, the thermostat bands, the alarm limits and the MQTT settings. It is read twice
// at start-up (before the widgets exist, for the names, tables and limits; then again to tick the
// policy boxes) and written once, at exit.

#include <array>
#include <cstdint>

#include "automation/alarm_rules.h"
#include "model/widget_numbers.h"
#include "mqtt/mqtt_settings.h"
#include "runtime/text.h"

namespace qx {

inline constexpr std::size_t kOutletNameLength = 19;

// An outlet's name: at most 19 characters; every assignment keeps the first 19.
using OutletName = FixedText<kOutletNameLength>;
// Index 0 is outlet 1.
using OutletNames = std::array<OutletName, kOutletCount>;

// The stored values on their way between the file and the widgets: schedule box id (41..56) at
// ScheduleSlot(id), thermostat widget id (67..82) at ThermostatSlot(id) (model/widget_numbers.h).
// The loop keeps them up to date with the user's edits; the file itself is written from the
// widgets. Their sizes are the stored data's own shape, larger than the widgets need (the spare
// slots stay zero); the asserts keep every slot a widget can reach inside them.
using ScheduleTable = std::array<std::int8_t, 65>;
using ThermostatTable = std::array<std::int8_t, 22>;
static_assert(ScheduleSlot(kLastScheduleWidget) < std::tuple_size_v<ScheduleTable>);
static_assert(ThermostatSlot(kLastBandWidget) < std::tuple_size_v<ThermostatTable>);

inline constexpr char kSettingsFileName[] = "Quellarotix.ini";

// Reads the file in the working folder. Names missing from the file keep their current value;
// the policy boxes (widgets 11..18) and the outlets to switch on at start-up (widgets 1..4) are
// ticked only where those widgets exist. A missing file leaves everything as it was. The alarm
// limits and the MQTT settings are no widgets' but the program's own: they are read into `alarms`
// and `mqtt` where given, by the first reading at start-up only.
void LoadSettings(OutletNames& names, ScheduleTable& schedule, ThermostatTable& thermostat, AlarmSettings* alarms,
                  MqttSettings* mqtt = nullptr);

// Creates the file anew from `names`, the widgets' states, `alarms` and, where given, `mqtt`
// (without it the MQTT group is left out, as at its defaults). Returns false if the file could not
// be written; the old file then stays as it was.
[[nodiscard]] bool SaveSettings(const OutletNames& names, const AlarmSettings& alarms,
                                const MqttSettings* mqtt = nullptr);

}  // namespace qx
