// Quellarotix: a tray program for the SwitchUnit, a USB switch with four mains outlets and a
// temperature sensor. It takes no arguments; its only configuration is Quellarotix.ini in the
// working folder, or beside the program when the working folder is the system's own.

#include <windows.h>

#include "app/console_commands.h"
#include "app/end_session.h"
#include "app/event_loop.h"
#include "app/shutdown.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "device/hid_access.h"
#include "runtime/win32/shell_services.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a DLL at run time: no DLL of ours or the system's comes from the
  // program's folder.
  qx::RestrictDllSearchToSystemFolder();
  // A second start only brings the running instance's window up.
  if (!qx::BecomeOnlyInstance()) ExitProcess(0);
  // Before the settings are read: started from the Run key, the program's files are beside it.
  (void)qx::LeaveSystemWorkingFolder();
  // Static, because the sensor thread and the timers use it until the very end of the process.
  static qx::Program program(qx::ProgramDeviceLink());
  UINT exit_code = 1;  // only when not even the main window could be made
  if (qx::StartProgram(program)) {
    // Without the watch the program still runs; it then only misses the session-end save.
    (void)qx::WatchForSessionEnd(program);
    // Without the console channel the program still runs; scripts then cannot reach it.
    (void)qx::StartConsoleChannel(program);
    qx::RunEventLoop(program);
    exit_code = static_cast<UINT>(qx::EndRequestedByScript() ? qx::ShutDownOnRequest(program)
                                                             : qx::ShutDownProgram(program));
  }
  // Ends the sensor thread too, which may be blocked in a read at this moment.
  ExitProcess(exit_code);
}
