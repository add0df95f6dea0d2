#include "device/outlet_report.h"

#include <windows.h>

#include "device/hid_access.h"
#include "model/shown_texts.h"
#include "model/widget_numbers.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

constexpr char kNoDeviceTitle[] = "USB Quelarotix";
constexpr int kNoDeviceOptions = MB_ICONERROR | MB_OK;

}  // namespace

std::uint8_t OutletBits(const std::array<int, kOutletCount>& states) {
  std::uint8_t bits = 0;
  for (int outlet = kOutletCount; outlet >= 1; --outlet) {
    bits = static_cast<std::uint8_t>(bits | (states[static_cast<std::size_t>(outlet - 1)] == 1 ? 1 : 0));
    bits = static_cast<std::uint8_t>(bits << 1);
  }
  return bits;
}

// Every call sends all four states, changed or not, so the device always ends up in line with the
// check boxes. The write's outcome is not looked at: a device pulled out since the last presence
// check gets the next report after it is opened again.
//
// Without a device the user is told in a modal box. The window timers keep running inside it, and
// the schedule and the thermostat send again every tick, so a box per call would stack up one
// inside another until the stack runs out. While our box is open a further send without a device
// shows nothing more (the check boxes keep their new states); the next send after it has been
// closed shows it again.
void DeviceLink::SendOutletReport() {
  if (SendOutletReportQuietly()) return;
  if (no_device_box_open_) return;
  no_device_box_open_ = true;
  ShowMessageBox(kNoDeviceTitle, ui::kDeviceUnplugged, kNoDeviceOptions);
  no_device_box_open_ = false;
}

bool DeviceLink::SendOutletReportQuietly() {
  if (!control_) return false;
  std::array<int, kOutletCount> states{};
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    states[static_cast<std::size_t>(outlet - 1)] = GetState(OutletCheckBox(outlet));
  }
  const std::uint8_t report[2] = {0x00, OutletBits(states)};
  (void)WriteReport(control_, report, sizeof report);
  return true;
}

}  // namespace qx
