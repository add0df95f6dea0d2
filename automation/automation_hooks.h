#pragma once
// What the schedule and the thermostat need from the rest of the program. They switch outlets by
// setting check boxes 1-4 and then ask the program to send the outlet report and refresh the tray
// menu; the program fills these in at start-up (tests fill in recorders).

#include <functional>

namespace qx {

struct AutomationHooks {
  int status_bar = 0;                          // the main window's status bar
  std::function<void()> send_outlet_report;    // sends check boxes 1-4 to the device
  std::function<void()> refresh_tray_menu;     // relabels the tray menu after a switch
  std::function<int()> rounded_temperature;    // last accepted reading, whole degrees
  // True while the SwitchUnit is plugged in but no accepted reading is fresh: the sensor has
  // stopped measuring (or has not begun), and the thermostat must not trust the last value.
  std::function<bool()> reading_missing;
};

}  // namespace qx
