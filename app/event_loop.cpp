#include "app/event_loop.h"

#include "app/mqtt_link.h"
#include "app/mqtt_window.h"
#include "app/single_instance.h"
#include "app/thermometer_window.h"
#include "app/tray_menu.h"
#include "app/widget_ids.h"
#include "automation/schedule.h"
#include "automation/thermostat.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

void OnTrayEvent(Program& program, int click) {
  RefreshTrayMenu(program);
  RefreshNameLabels(program);
  if (click == kTrayRightPressed) {
    ShowLogonMark();
    ShowPopupMenu(kPopupMenu, NativeWindowHandle(kMainWindow));
  } else if (click == kTrayLeftPressed) {
    SetWindowHidden(kMainWindow, 0);
    ChangeWindowState(kMainWindow, kWindowStateNormal);
    ActivateWindow(kMainWindow);
  }
  // A double click's own event only refreshed the texts: its first press has shown the window.
}

void OnGadgetEvent(Program& program, int widget, int type) {
  if (program.history_view.OnGadgetEvent(widget, type)) return;
  if (OnMqttGadgetEvent(program, widget)) return;
  if (widget >= OutletCheckBox(1) && widget <= OutletCheckBox(kOutletCount)) {
    program.device.SendOutletReport();
  } else if (widget >= kFirstScheduleWidget && widget <= kLastScheduleWidget) {
    EditSchedule(widget, program.schedule_table);
  } else if (widget >= kFirstBandWidget && widget <= kLastBandWidget) {
    EditThermostatBand(widget, program.thermostat_table);
  }
}

// Returns false for "Выход".
bool OnMenuEvent(Program& program, int item) {
  if (item == kExitItem) return false;
  // Nothing of the outlets changes, so no report goes out.
  if (item == kLogonItem) {
    ToggleStartAtLogon();
    return true;
  }
  if (item == kHistoryItem) {
    program.history_view.Show();
    return true;
  }
  if (item == kMqttItem) {
    ShowMqttWindow(program);
    return true;
  }
  if (item >= 1 && item <= kOutletCount) {
    SetState(OutletCheckBox(item), GetState(OutletCheckBox(item)) == 0 ? 1 : 0);
  } else if (item == kThermometerItem) {
    ShowThermometer();
  }
  program.device.SendOutletReport();
  RefreshTrayMenu(program);
  return true;
}

}  // namespace

Event NextEvent() {
  Event event;
  event.kind = WaitForEvent();
  event.object = event.kind == MenuEvent ? CurrentEventMenuItem() : CurrentEventWidget();
  event.type = CurrentEventType();
  event.window = CurrentEventWindow();
  return event;
}

void TakeNamesFromFields(Program& program) {
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) program.Name(outlet).Store(GetText(NameField(outlet)));
}

bool DispatchEvent(Program& program, const Event& event) {
  switch (event.kind) {
    case TrayEvent:
      OnTrayEvent(program, event.type);
      return true;
    case GadgetEvent:
      OnGadgetEvent(program, event.object, event.type);
      return true;
    case MinimizeEvent:
      // The main and the Thermometer window's minimise box sends the main window back to the
      // tray; the history window minimises alone.
      if (event.window == kMainWindow || event.window == kThermometerWindow) SetWindowHidden(kMainWindow, 1);
      return true;
    case MenuEvent:
      return OnMenuEvent(program, event.object);
    default:
      // The program started again: its second instance asks for the window as a tray click would.
      if (event.kind != 0 && event.kind == ShowRequestEvent()) {
        OnTrayEvent(program, kTrayLeftPressed);
        return true;
      }
      if (program.history_view.OnProgramEvent(event.kind, event.object)) return true;
      if (OnMqttEvent(program, event.kind)) return true;
      // The history window's close box closes it alone.
      if (program.history_view.OnWindowEvent(event.kind, event.window)) return true;
      // So does the MQTT window's.
      if (OnMqttWindowEvent(event.kind, event.window)) return true;
      // Everything else, timer ticks and keystrokes included, brings the typed names into the
      // labels; a close request from the main or the Thermometer window then ends the loop.
      TakeNamesFromFields(program);
      RefreshNameLabels(program);
      program.history_view.RefreshProblem();
      return event.kind != CloseEvent;
  }
}

void RunEventLoop(Program& program) {
  while (DispatchEvent(program, NextEvent())) {
  }
}

}  // namespace qx
