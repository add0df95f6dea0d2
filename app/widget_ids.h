#pragma once
// The numbers of the program's windows, fonts, menu and timers. The widgets' own numbers, which
// the device link and the automation use too, are in model/widget_numbers.h.

#include "model/widget_numbers.h"

namespace qx {

inline constexpr int kMainWindow = 0;
inline constexpr int kThermometerWindow = 1;
inline constexpr int kHistoryWindow = 2;
inline constexpr int kMqttWindow = 3;

inline constexpr int kLargeFont = 1;  // "Arial" 18 points bold
inline constexpr int kHugeFont = 2;   // "Arial" 22 points bold
inline constexpr int kSmallFont = 3;  // "Arial" 8 points

inline constexpr int kPopupMenu = 0;

inline constexpr int kPresenceTimer = 1;
inline constexpr int kClockTimer = 2;
inline constexpr int kThermostatTimer = 3;

// Popup menu items.
inline constexpr int kThermometerItem = 5;
inline constexpr int kExitItem = 6;
inline constexpr int kHistoryItem = 7;
inline constexpr int kLogonItem = 8;  // start at log-on, ticked or not
inline constexpr int kMqttItem = 9;

}  // namespace qx
