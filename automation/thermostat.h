#pragma once
// The thermostat: per outlet an enable button and a band of two values; twice a second an enabled
// outlet is switched on at or below both values and off at or above both -- or off, whatever the
// last value was, while the plugged-in SwitchUnit gives no fresh reading.

#include <cstdint>
#include <span>

#include "automation/automation_hooks.h"
#include "model/widget_numbers.h"

namespace qx {

void ApplyThermostat(const AutomationHooks& hooks);

// The loop's step for a widget event from `widget` (67..82): records its value in `table`
// (its ThermostatSlot).
void EditThermostatBand(int widget, std::span<std::int8_t> table);

}  // namespace qx
