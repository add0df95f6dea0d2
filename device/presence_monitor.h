#pragma once
// The presence monitor, run by the presence timer every 400 ms and once at start-up. See
// DeviceLink::CheckDevicePresence.

#include "device/device_link.h"

namespace qx {

// CheckDevicePresence of the program's device link.
void CheckDevicePresence();

}  // namespace qx
