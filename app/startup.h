#pragma once
// Start-up: every service comes up in a fixed order, because later steps rely on earlier ones
// (the widgets show the names read before them, the first outlet report goes through the handles
// the first presence check opened).

#include "app/program.h"

namespace qx {

// Runs the start-up steps up to the first outlet report. Afterwards only the tray icon is shown
// and the three window timers run on window 0. Returns false if the window layer or window 0
// could not be made, in which case there is nothing to run.
[[nodiscard]] bool StartProgram(Program& program);

// The window timers of window 0 and the program their procedures work on. Stopping the presence
// timer is part of shutdown; the other two end with window 0, or are stopped before a box that
// shutdown shows.
void StartTimers(Program& program);
void StopPresenceTimer();
void StopRuleTimers();

}  // namespace qx
