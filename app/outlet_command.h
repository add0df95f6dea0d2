#pragma once
// Switching outlets on a command from outside the window: a script's on/off/toggle and an MQTT
// `set` go the same way, as the tray menu does.

#include "app/program.h"
#include "mqtt/mqtt_bridge.h"

namespace qx {

// Switches the outlets of `outlet_bits` (bit n - 1 for outlet n), then sends one report and
// refreshes the tray menu. Without a device nothing changes and no box opens: false.
bool CarryOutOutletCommand(Program& program, unsigned outlet_bits, OutletSetCommand command);

}  // namespace qx
