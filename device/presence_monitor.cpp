// The presence monitor (DeviceLink::CheckDevicePresence), run by the presence timer every 400 ms
// and once at start-up.
#include "device/device_link.h"

#include <windows.h>  // the class identifier HidInterfaceClass gives

#include "device/hid_access.h"
#include "model/shown_texts.h"
#include "model/widget_numbers.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

// Windows-1251.
constexpr char kConnectedText[] = "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED";  // "USB подключен"

}  // namespace

// Only a change of presence does anything: while the device stays listed a failed open is not
// retried, and a pull and re-plug between two checks goes unnoticed (the old handles then fail
// until a later check sees the device gone). The check itself opens nothing while the list of HID
// interfaces stays as it was (see PresenceCheck).
void DeviceLink::CheckDevicePresence() {
  const bool present = presence_.IsDevicePresent(kSwitchUnitVendorId, kSwitchUnitProductId);
  if (present == last_presence_) return;
  last_presence_ = present;
  if (present) {
    CloseDevice(aux_);
    CloseDevice(control_);
    control_ = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId);
    aux_ = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId);
    // The reader closes the handle it had and takes this one (overlapped, so it can cancel).
    DeviceHandle sensor = OpenDevice(kSwitchUnitVendorId, kSwitchUnitProductId, DeviceIo::kOverlapped);
    sensor_attached_ = static_cast<bool>(sensor);
    sensor_.Attach(std::move(sensor));
    SetStatusText(kStatusBar, kConnectionField, kConnectedText, kStatusCentred);
    return;
  }
  CloseDevice(aux_);
  CloseDevice(control_);
  sensor_.Detach();
  sensor_attached_ = false;
  SetStatusText(kStatusBar, kConnectionField, ui::kDeviceUnplugged, kStatusCentred);
  SetText(kPanel, ui::kDeviceUnplugged);
  ShowTemperatureOff();
}

bool DeviceLink::FollowHidInterfaceChanges(int window) {
  if (!WatchDeviceInterfaces(window, HidInterfaceClass())) return false;
  presence_.FollowChanges(DeviceChangesSeen);
  return true;
}

}  // namespace qx
