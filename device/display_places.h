#pragma once
// Where the device link shows what it knows: numbers of the program's status bar, panel, widgets
// and tray icon. The program builds its windows with these same numbers (app/widget_ids.h), so
// they are written down once, here.

namespace qx {

inline constexpr int kDeviceStatusBar = 0;  // field 0: connected or not
inline constexpr int kDeviceStatusField = 0;
inline constexpr int kMainPanel = 0;         // the selected page's tab on removal
inline constexpr int kTemperatureField = 9;  // first page
inline constexpr int kThermostatTemperatureLabel = 101;
inline constexpr int kThermometerField = 103;  // the Thermometer window
inline constexpr int kDeviceTrayIcon = 1;

}  // namespace qx
