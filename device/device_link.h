#pragma once
// The device link's state: the presence seen last, the device handles, the sensor reader and the
// no-device message box. The program has one (ProgramDeviceLink) for its whole run; tests make
// their own, so each starts clean. The procedures live in the files named after their jobs:
// presence_monitor.cpp, outlet_report.cpp, sensor_thread.cpp.

#include <cstdint>
#include <string>

#include "device/device_handle.h"
#include "device/hid_access.h"
#include "device/sensor_thread.h"

namespace qx {

// The SwitchUnit: any release number.
inline constexpr std::uint16_t kSwitchUnitVendorId = 0xAAAA;
inline constexpr std::uint16_t kSwitchUnitProductId = 0xEF02;

// How long an accepted reading stands for the temperature. A sensor that has stopped giving
// readings must not keep a heater on by the last one it gave.
inline constexpr std::uint64_t kFreshReadingMs = 10000;

// Shows an accepted reading in widget 9, widget 101, the tray tooltip and widget 103, in this order.
void ShowTemperatureEverywhere(const std::string& text);
// "OFF" in widget 9, the tray tooltip and widget 101 (the Thermometer window keeps its text).
void ShowTemperatureOff();

class DeviceLink {
 public:
  // The sensor reader shows its readings with ShowTemperatureEverywhere.
  DeviceLink();
  // The same with another display for the readings (tests); the reader then leaves the "OFF"
  // texts to the monitor alone.
  explicit DeviceLink(SensorReader::Display display);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Runs every presence period: opens the handles when the SwitchUnit arrives, closes them when it
  // leaves, and says so in the status bar (and, on removal, "OFF" in the temperature places).
  void CheckDevicePresence();
  // Has window `window` told of HID interfaces coming and going, and from then on lists them only
  // after such news (see PresenceCheck). False if the system will not tell; the checks then list
  // them every time, as before.
  bool FollowHidInterfaceChanges(int window);
  // Sends the four outlet check boxes (widgets 1-4) as one report, or tells the user that there
  // is no device -- with at most one such box open at a time.
  void SendOutletReport();
  // The same report where nobody may be there to close a box: without a device it sends nothing,
  // shows nothing and returns false.
  bool SendOutletReportQuietly();

  SensorReader& sensor() { return sensor_; }
  [[nodiscard]] int RoundedTemperature() const { return sensor_.RoundedTemperature(); }
  [[nodiscard]] int TemperatureSixteenths() const { return sensor_.TemperatureSixteenths(); }
  bool TakeReadingSpan(int* lowest, int* highest) { return sensor_.TakeReadingSpan(lowest, highest); }
  // Whether a full report was read and accepted less than kFreshReadingMs before `now`
  // (GetTickCount64); a reading taken after `now` was read counts as fresh too.
  bool HasFreshReading(std::uint64_t now) const {
    const std::uint64_t at = sensor_.LastAcceptedTick();
    return at != 0 && (now < at || now - at < kFreshReadingMs);
  }

  // What the monitor holds, for tests.
  const PresenceCheck& presence() const { return presence_; }
  bool LastPresence() const { return last_presence_; }
  [[nodiscard]] bool HasControlHandle() const { return static_cast<bool>(control_); }
  [[nodiscard]] bool HasAuxHandle() const { return static_cast<bool>(aux_); }
  // Whether the monitor has given the reader a handle (the reader lets go of it soon after Detach).
  bool HasSensorHandle() const { return sensor_attached_; }
  bool IsNoDeviceBoxOpen() const { return no_device_box_open_; }

 private:
  PresenceCheck presence_;
  bool last_presence_ = false;
  DeviceHandle control_;  // outlet reports
  DeviceHandle aux_;      // opened and closed with the others; carries nothing
  bool sensor_attached_ = false;
  bool no_device_box_open_ = false;
  SensorReader sensor_;
};

// The program's device link.
[[nodiscard]] DeviceLink& ProgramDeviceLink();

}  // namespace qx
