#include "automation/thermostat.h"

#include "runtime/win32/widgets.h"

namespace qx {
namespace {

void SwitchOutlet(const AutomationHooks& hooks, int outlet, int state) {
  SetState(OutletCheckBox(outlet), state);
  if (hooks.send_outlet_report) hooks.send_outlet_report();
  if (hooks.refresh_tray_menu) hooks.refresh_tray_menu();
}

}  // namespace

// The temperature is read afresh for every comparison: the sensor thread may publish a new
// reading between them, exactly as a person watching the thermometer would see it change. It is
// held as a plain int, so readings of 128 degrees and more compare as themselves and switch a
// heater off rather than wrapping round to a negative value.
//
// The thermostat drives heaters: without a measurement it fails safe. While the SwitchUnit is
// plugged in but has given no fresh reading, every enabled outlet is switched off at every tick,
// as if it were hot; with the device absent the last reading is used as before (the no-device box
// then tells the user).
void ApplyThermostat(const AutomationHooks& hooks) {
  auto temperature = [&hooks] { return hooks.rounded_temperature ? hooks.rounded_temperature() : 0; };
  const bool missing = hooks.reading_missing && hooks.reading_missing();
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (GetState(ThermostatButton(outlet)) != 1) continue;
    if (missing) {
      SwitchOutlet(hooks, outlet, 0);
      continue;
    }
    const int on_field = SwitchOnBandField(outlet);
    const int off_field = SwitchOffBandField(outlet);
    if (temperature() <= GetState(on_field) && temperature() <= GetState(off_field)) SwitchOutlet(hooks, outlet, 1);
    if (temperature() >= GetState(on_field) && temperature() >= GetState(off_field)) SwitchOutlet(hooks, outlet, 0);
  }
}

void EditThermostatBand(int widget, std::span<std::int8_t> table) {
  if (widget < kFirstBandWidget || widget > kLastBandWidget) return;
  const std::size_t slot = ThermostatSlot(widget);
  if (slot < table.size()) table[slot] = static_cast<std::int8_t>(GetState(widget));
}

}  // namespace qx
