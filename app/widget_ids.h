#pragma once
// The numbers of the program's windows, widgets, fonts, menu, tray icon and status bar. Widgets of
// both windows share one number space; outlet n (1..4) owns the widgets named after it below.

#include "device/display_places.h"

namespace qx {

inline constexpr int kMainWindow = 0;
inline constexpr int kThermometerWindow = 1;

inline constexpr int kLargeFont = 1;  // "Arial" 18 points bold
inline constexpr int kHugeFont = 2;   // "Arial" 22 points bold
inline constexpr int kSmallFont = 3;  // "Arial" 8 points

inline constexpr int kPopupMenu = 0;
inline constexpr int kTrayIcon = kDeviceTrayIcon;
inline constexpr int kStatusBar = kDeviceStatusBar;

inline constexpr int kPresenceTimer = 1;
inline constexpr int kClockTimer = 2;
inline constexpr int kThermostatTimer = 3;

inline constexpr int kPanel = kMainPanel;
inline constexpr int kTemperatureDisplay = kTemperatureField;        // tab 1
inline constexpr int kTemperatureLabel = kThermostatTemperatureLabel;  // tab 4
inline constexpr int kThermometerDisplay = kThermometerField;        // window 1

constexpr int OutletCheckBox(int outlet) {
  return outlet;
}
constexpr int NameField(int outlet) {
  return 4 + outlet;
}
constexpr int StartupBox(int outlet) {
  return 10 + outlet;
}
constexpr int ExitBox(int outlet) {
  return 14 + outlet;
}
constexpr int StartupLabel(int outlet) {
  return 18 + outlet;
}
constexpr int ExitLabel(int outlet) {
  return 22 + outlet;
}
constexpr int ScheduleLabel(int outlet) {
  return 26 + outlet;
}
constexpr int ThermostatButton(int outlet) {
  return 30 + outlet;
}
constexpr int NumberLabel(int outlet) {
  return 34 + outlet;
}
constexpr int SwitchOnHourBox(int outlet) {
  return 39 + 2 * outlet;
}
constexpr int SwitchOffHourBox(int outlet) {
  return 47 + 2 * outlet;
}
constexpr int SwitchOnBandField(int outlet) {
  return 65 + 2 * outlet;
}

// Popup menu items.
inline constexpr int kThermometerItem = 5;
inline constexpr int kExitItem = 6;

}  // namespace qx
