#include "app/startup.h"

#include <windows.h>

#include "app/main_window.h"
#include "app/mqtt_link.h"
#include "app/mqtt_window.h"
#include "app/tray_menu.h"
#include "app/widget_ids.h"
#include "automation/alarms.h"
#include "automation/schedule.h"
#include "automation/thermostat.h"
#include "device/hid_access.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

// The timer procedures get no argument of ours, so the running program is kept here while the
// timers live.
Program* g_timed_program = nullptr;
// Set once the rule timers are stopped, for a tick that was already on its way.
bool g_rules_stopped = false;

void CALLBACK OnPresenceTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_timed_program) g_timed_program->device.CheckDevicePresence();
}

void CALLBACK OnClockTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_timed_program) return;
  if (g_timed_program->history) g_timed_program->history->Tick(g_timed_program->device);
  RefreshMqttStatus(*g_timed_program);
  if (g_rules_stopped) return;
  ApplyScheduleRules(g_timed_program->automation);
  ApplyAlarmRules(g_timed_program->automation, g_timed_program->alarm_settings, g_timed_program->alarm_rules);
  // After the rules, so the broker hears what they switched and which alarms stand.
  TickMqtt(*g_timed_program);
}

void CALLBACK OnThermostatTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_timed_program && !g_rules_stopped) ApplyThermostat(g_timed_program->automation);
}

void LoadFonts() {
  NewFont(kLargeFont, "Arial", 18, kFontBold);
  NewFont(kHugeFont, "Arial", 22, kFontBold);
  NewFont(kSmallFont, "Arial", 8);
}

void CopyTablesIntoWidgets(const Program& program) {
  for (int id = kFirstScheduleWidget; id <= kLastScheduleBox; ++id) {
    SetState(id, program.schedule_table[ScheduleSlot(id)]);
  }
  // Ids 75..82 have no widget; setting them does nothing.
  for (int id = kFirstBandWidget; id <= kLastBandWidget; ++id) {
    SetState(id, program.thermostat_table[ThermostatSlot(id)]);
  }
}

}  // namespace

void StartTimers(Program& program) {
  g_timed_program = &program;
  g_rules_stopped = false;
  program.automation.status_bar = kStatusBar;
  program.automation.send_outlet_report = [&program] { program.device.SendOutletReport(); };
  program.automation.refresh_tray_menu = [&program] { RefreshTrayMenu(program); };
  program.automation.rounded_temperature = [&program] { return program.device.RoundedTemperature(); };
  program.automation.reading_missing = [&program] {
    return program.device.LastPresence() && !program.device.HasFreshReading(GetTickCount64());
  };
  program.automation.tick_count = [] { return GetTickCount64(); };
  program.automation.device_present = [&program] { return program.device.LastPresence(); };
  program.automation.reading_fresh = [&program] { return program.device.HasFreshReading(GetTickCount64()); };
  program.automation.temperature_sixteenths = [&program] { return program.device.TemperatureSixteenths(); };
  program.automation.take_reading_span = [&program](int* lowest, int* highest) {
    return program.device.TakeReadingSpan(lowest, highest);
  };
  HWND window = NativeWindowHandle(kMainWindow);
  // The presence timer's checks then look at the HID interfaces only after a device change (and
  // every few seconds); where the system will not tell of changes they look every time.
  (void)program.device.FollowHidInterfaceChanges(kMainWindow);
  SetTimer(window, kPresenceTimer, 400, OnPresenceTimer);
  SetTimer(window, kClockTimer, 1000, OnClockTimer);
  SetTimer(window, kThermostatTimer, 500, OnThermostatTimer);
}

void StopPresenceTimer() {
  KillTimer(NativeWindowHandle(kMainWindow), kPresenceTimer);
}

void StopRuleTimers() {
  g_rules_stopped = true;
  KillTimer(NativeWindowHandle(kMainWindow), kClockTimer);
  KillTimer(NativeWindowHandle(kMainWindow), kThermostatTimer);
}

bool StartProgram(Program& program) {
  if (!InitWindowLayer()) return false;
  LoadHidLibraries();
  program.schedule_table.fill(0);
  program.thermostat_table.fill(0);
  LoadFonts();
  // No widget exists yet: this first reading only fills the names and tables the widgets are
  // built from, and the alarm limits.
  LoadSettings(program.outlet_names, program.schedule_table, program.thermostat_table, &program.alarm_settings,
               &program.mqtt_settings);
  if (!BuildMainWindow(program.outlet_names)) return false;
  BuildPopupMenu();
  SetWindowHidden(kMainWindow, 1);
  // Without its status bar the program still works; the texts meant for it then go nowhere.
  (void)NewStatusBar(kStatusBar, NativeWindowHandle(kMainWindow));
  for (int field = 0; field < 3; ++field) AddStatusField(118);
  // The sensor reader's thread, started through the window layer; it runs until the process ends.
  // Without it the program still switches, it only shows no temperature.
  (void)program.device.sensor().Start();
  // The history takes the sensor's readings from its first one (the reader has no device before
  // the first presence check below); its writer has a thread of its own.
  program.history = std::make_unique<HistoryRecording>(HistoryFolder());
  program.history->Start(program.device);
  // The chart reads the same folder, and follows each minute as it ends while it is open.
  program.history_view.SetFolder(HistoryFolder());
  program.history_view.SetAlarmSettings(program.alarm_settings);
  program.history->SetFinishedMinuteListener(
      [&program](const MinuteRecord& record) { program.history_view.AddMinute(record); });
  StartTimers(program);
  // Now the policy boxes and the outlets chosen for start-up are ticked.
  LoadSettings(program.outlet_names, program.schedule_table, program.thermostat_table, nullptr);
  CopyTablesIntoWidgets(program);
  // Opens the device before the first report, if it is plugged in.
  program.device.CheckDevicePresence();
  // Without a tray the program runs on; its icon is not retried here.
  (void)AddProgramTrayIcon();
  RefreshTrayMenu(program);
  program.device.SendOutletReport();
  // Its first state is the one after the start-up report.
  StartMqtt(program);
  return true;
}

}  // namespace qx
