#include "app/shutdown.h"

#include "app/event_loop.h"
#include "app/mqtt_link.h"
#include "app/startup.h"
#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "control/pipe_server.h"
#include "device/hid_access.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

void ReleaseRuntime() {
  // First, while the process still runs: a script's `quit` gets its answer.
  StopControlServer();
  UnloadHidLibraries();
  // Also removes the tray icon and destroys both windows and the fonts; the sensor thread is
  // left running and ends with the process.
  ShutdownWindowLayer();
}

// The minute under way ends with the run, the outlets as the exit policy left them.
void FinishHistory(Program& program) {
  if (program.history) program.history->Finish(program.device);
}

void SetExitStates() {
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    SetState(OutletCheckBox(outlet), GetState(ExitBox(outlet)) == 0 ? 0 : 1);
  }
}

// A failed save goes untold here: nobody may be there to answer a box.
int ShutDownUntold(Program& program, bool report_quietly) {
  // Already shutting down means the exit report's message box is open (nothing else there
  // waits); the report is not sent again, the settings are saved all the same.
  const bool exit_report_pending = !program.shutting_down;
  program.shutting_down = true;
  StopPresenceTimer();
  TakeNamesFromFields(program);
  (void)SaveSettings(program.outlet_names, program.alarm_settings, &program.mqtt_settings);  // untold, as above
  if (exit_report_pending && report_quietly) {
    SetExitStates();
    (void)program.device.SendOutletReportQuietly();
  } else if (exit_report_pending) {
    ApplyExitPolicy(program.device);
  }
  StopMqtt(program);
  FinishHistory(program);
  ReleaseRuntime();
  return 0;
}

}  // namespace

void ApplyExitPolicy(DeviceLink& device) {
  SetExitStates();
  device.SendOutletReport();
}

int ShutDownProgram(Program& program) {
  program.shutting_down = true;
  ApplyExitPolicy(program.device);
  StopPresenceTimer();
  FinishHistory(program);
  // From the fields, not the menu's padded copies, so no "_" reaches the file.
  TakeNamesFromFields(program);
  const bool saved = SaveSettings(program.outlet_names, program.alarm_settings, &program.mqtt_settings);
  // After the save, which never waits on the network; before any box, which may wait for ever.
  StopMqtt(program);
  if (!saved) {
    // Every change of the run is lost, which the user must hear of. The rules would go on
    // switching outlets behind the box, after the exit report; they stop first.
    StopRuleTimers();
    ShowFileMessageBox(ui::kMainTitle, ui::kSettingsNotSaved, kSettingsFileName, kWarningBox);
  }
  ReleaseRuntime();
  return 0;
}

int ShutDownForSessionEnd(Program& program) {
  return ShutDownUntold(program, false);
}

int ShutDownOnRequest(Program& program) {
  return ShutDownUntold(program, true);
}

}  // namespace qx
