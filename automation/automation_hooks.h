#pragma once
// What the schedule, the thermostat and the alarms need from the rest of the program. The first
// two switch outlets by setting check boxes 1-4 and then ask the program to send the outlet report
// and refresh the tray menu; the program fills these in at start-up (tests fill in recorders).

#include <cstdint>
#include <functional>

namespace qx {

struct AutomationHooks {
  int status_bar = 0;                        // the main window's status bar
  std::function<void()> send_outlet_report;  // sends check boxes 1-4 to the device
  std::function<void()> refresh_tray_menu;   // relabels the tray menu after a switch
  std::function<int()> rounded_temperature;  // last accepted reading, whole degrees
  // True while the SwitchUnit is plugged in but no accepted reading is fresh: the sensor has
  // stopped measuring (or has not begun), and the thermostat must not trust the last value.
  std::function<bool()> reading_missing;
  // What the alarms look at besides the widgets.
  std::function<std::uint64_t()> tick_count;    // their clock: milliseconds that never go back
  std::function<bool()> device_present;         // as the presence monitor found it last
  std::function<bool()> reading_fresh;          // the fail-safe's notion, as for reading_missing
  std::function<int()> temperature_sixteenths;  // last accepted reading, 1/16 degree
  // The lowest and highest reading accepted since it was last asked, 1/16 degree; false if none.
  std::function<bool(int* lowest, int* highest)> take_reading_span;
};

}  // namespace qx
