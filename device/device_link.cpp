#include "device/device_link.h"

#include "model/shown_texts.h"
#include "model/widget_numbers.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

void ShowTemperatureEverywhere(const std::string& text) {
  SetText(kTemperatureDisplay, text);
  SetText(kTemperatureLabel, text);
  SetTrayToolTip(kTrayIcon, text);
  SetText(kThermometerDisplay, text);
}

void ShowTemperatureOff() {
  SetText(kTemperatureDisplay, ui::kNoReading);
  SetTrayToolTip(kTrayIcon, ui::kNoReading);
  SetText(kTemperatureLabel, ui::kNoReading);
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
