#include "app/console_commands.h"

#include <windows.h>

#include "app/mqtt_setup.h"
#include "app/outlet_command.h"
#include "app/single_instance.h"
#include "app/tray_menu.h"
#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "control/pipe_name.h"
#include "control/pipe_server.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

bool g_end_requested = false;
// The program the channel's commands act on, while it is served.
Program* g_served_program = nullptr;

// A schedule rule as its boxes show it: "HH:MM", or empty while either half is not set.
std::string RuleTime(int rule) {
  const std::string hour = GetText(ScheduleHourBox(rule));
  const std::string minute = GetText(ScheduleMinuteBox(rule));
  return hour.empty() || minute.empty() ? std::string() : Concatenate(hour, ":", minute);
}

Reply SwitchOutlets(Program& program, const Request& request) {
  unsigned outlet_bits = 0;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (request.Names(outlet)) outlet_bits |= 1u << (outlet - 1);
  }
  const OutletSetCommand command = request.verb == Verb::kOn    ? OutletSetCommand::kOn
                                   : request.verb == Verb::kOff ? OutletSetCommand::kOff
                                                                : OutletSetCommand::kToggle;
  // The text is the status bar's.
  if (!CarryOutOutletCommand(program, outlet_bits, command)) {
    return {kExitNoDevice, Cp1251ToUtf8(ui::kDeviceUnplugged) + "\n"};
  }
  return {kExitDone, {}};
}

}  // namespace

ProgramStatus ReadProgramStatus(const Program& program) {
  ProgramStatus status;
  status.device = program.device.LastPresence();
  status.device_text = GetStatusText(kStatusBar, kConnectionField);
  status.temperature_text = GetText(kTemperatureDisplay);
  status.reading_fresh = program.device.HasFreshReading(GetTickCount64());
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    OutletStatus& shown = status.outlets[static_cast<std::size_t>(outlet - 1)];
    // From the field, as typed: the menu's copy may carry the "_" padding.
    shown.name = GetText(NameField(outlet));
    shown.on = GetState(OutletCheckBox(outlet)) == 1;
    shown.on_at_start = GetState(StartupBox(outlet)) == 1;
    shown.on_at_exit = GetState(ExitBox(outlet)) == 1;
    shown.schedule_on = RuleTime(outlet - 1);
    shown.schedule_off = RuleTime(kOutletCount + outlet - 1);
    shown.thermostat_enabled = GetState(ThermostatButton(outlet)) == 1;
    shown.band = {GetState(SwitchOnBandField(outlet)), GetState(SwitchOffBandField(outlet))};
  }
  for (const AlarmCondition condition : program.alarm_rules.StandingConditions()) {
    status.alarms.emplace_back(AlarmConditionName(condition));
  }
  status.mqtt = ReadMqttLinkStatus(program);
  return status;
}

Reply RunConsoleCommand(Program& program, const Request& request) {
  // The exit report has gone out (or its box is open): nothing may switch after it.
  if (program.shutting_down) return {kExitNotRunning, "Quellarotix is ending\n"};
  switch (request.verb) {
    case Verb::kStatus: {
      const ProgramStatus status = ReadProgramStatus(program);
      return {kExitDone, request.json ? StatusJson(status) : StatusText(status)};
    }
    case Verb::kTemperature:
      return TemperatureReply(ReadProgramStatus(program));
    case Verb::kOn:
    case Verb::kOff:
    case Verb::kToggle:
      return SwitchOutlets(program, request);
    case Verb::kShow:
      // The event loop takes it as it takes a second start's request.
      PostMessageW(NativeWindowHandle(kMainWindow), static_cast<UINT>(ShowRequestEvent()), 0, 0);
      return {kExitDone, {}};
    case Verb::kQuit:
      // The loop ends at its next event, once a box or menu open now has closed; a close request
      // is what ends it.
      g_end_requested = true;
      PostMessageW(NativeWindowHandle(kMainWindow), WM_CLOSE, 0, 0);
      return {kExitDone, {}};
    case Verb::kMqtt:
      return RunMqttCommand(program, request);
  }
  return {kExitBadRequest, "unknown command\n"};
}

bool StartConsoleChannel(Program& program) {
  g_served_program = &program;
  return StartControlServer(ControlPipeName(),
                            [](const Request& request) { return RunConsoleCommand(*g_served_program, request); });
}

bool EndRequestedByScript() {
  return g_end_requested;
}

}  // namespace qx
