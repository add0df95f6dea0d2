#pragma once
// The end of a run: the outlets go to the states chosen for exit, the settings are saved, and
// every runtime service is released. It runs once, after the event loop (or when Windows ends the
// session).

#include "app/program.h"

namespace qx {

// Sets check boxes 1-4 from the exit boxes 15-18 and sends them in one report.
void ApplyExitPolicy(DeviceLink& device);

// The shutdown sequence; returns the process's exit code (0). The caller ends the process.
int ShutDownProgram(Program& program);

// The same steps for a session that Windows is ending: the settings are saved before the exit
// report, because the report's no-device message could be where the system stops waiting for us.
// The settings file is the same either way: the exit policy touches only check boxes 1-4.
int ShutDownForSessionEnd(Program& program);

// The same for a script's `quit`: no box of any kind, not even for a missing device (the exit
// report is then not sent), as nobody may be at the desktop.
int ShutDownOnRequest(Program& program);

}  // namespace qx
