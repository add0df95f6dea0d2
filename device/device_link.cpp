#include "device/device_link.h"

#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

constexpr char kTemperatureOffText[] = "OFF";

}  // namespace

void ShowTemperatureEverywhere(const std::string& text) {
  SetText(kTemperatureField, text);
  SetText(kThermostatTemperatureLabel, text);
  SetTrayToolTip(kDeviceTrayIcon, text);
  SetText(kThermometerField, text);
}

void ShowTemperatureOff() {
  SetText(kTemperatureField, kTemperatureOffText);
  SetTrayToolTip(kDeviceTrayIcon, kTemperatureOffText);
  SetText(kThermostatTemperatureLabel, kTemperatureOffText);
}

DeviceLink::DeviceLink() : sensor_(ShowTemperatureEverywhere, ShowTemperatureOff) {}

DeviceLink::DeviceLink(SensorReader::Display display) : sensor_(std::move(display)) {}

// The reader stops first (its destructor), then the monitor's own handles close.
DeviceLink::~DeviceLink() = default;

DeviceLink& ProgramDeviceLink() {
  static DeviceLink link;
  return link;
}

}  // namespace qx
