#include "app/tray_menu.h"

#include <array>

#include "app/main_window.h"
#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "runtime/text.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

void BuildPopupMenu() {
  (void)NewPopupMenu(kPopupMenu);  // without it a right click shows nothing, as the layer does
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) AddMenuItem(outlet, Concatenate(DecimalText(outlet), ". "));
  AddMenuSeparator();
  AddMenuItem(kThermometerItem, ui::kThermometerItem);
  AddMenuItem(kHistoryItem, ui::kHistoryItem);
  AddMenuItem(kMqttItem, ui::kMqttItem);
  AddMenuSeparator();
  AddMenuItem(kLogonItem, ui::kLogonItem);
  AddMenuItem(kExitItem, ui::kExitItem);
}

void ShowLogonMark() {
  SetMenuItemChecked(kPopupMenu, kLogonItem, StartsAtLogon(kLogonValueName));
}

void ToggleStartAtLogon() {
  // The user answers the mark the menu showed, so that is what is turned over.
  std::string reason;
  if (!SetStartAtLogon(kLogonValueName, !IsMenuItemChecked(kPopupMenu, kLogonItem), reason)) {
    ShowMessageBox(ui::kMainTitle, Concatenate(ui::kLogonNotChanged, "\n", reason), kWarningBox);
  }
}

bool AddProgramTrayIcon() {
  return AddTrayIcon(kTrayIcon, NativeWindowHandle(kMainWindow), LoadProgramTrayIcon()) != 0;
}

int PadLength(const OutletNames& names) {
  int pad = 0;
  for (int k = 1; k <= static_cast<int>(kOutletNameLength); ++k) {
    for (const OutletName& name : names) {
      if (TextLength(name.Read()) < k) {
        ++pad;
        break;
      }
    }
  }
  return pad;
}

void RefreshTrayMenu(Program& program) {
  const int pad = PadLength(program.outlet_names);
  std::array<FixedText<8>, kOutletCount> state_markers;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    const bool on = GetState(OutletCheckBox(outlet)) == 1;
    const char* marker =
        outlet == 1 ? (on ? ui::kFirstOutletOn : ui::kFirstOutletOff) : (on ? ui::kOutletOn : ui::kOutletOff);
    state_markers[static_cast<std::size_t>(outlet - 1)].Store(marker);
  }
  for (OutletName& name : program.outlet_names) {
    const std::string text = name.Read();
    if (TextLength(text) < pad) name.Store(text + std::string(static_cast<std::size_t>(pad - TextLength(text)), '_'));
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    SetMenuItemLabel(kPopupMenu, outlet,
                     Concatenate(OutletLabel(outlet, program.Name(outlet)), " ",
                                 state_markers[static_cast<std::size_t>(outlet - 1)].Read()));
  }
}

void RefreshNameLabels(const Program& program) {
  for (int first : {StartupLabel(1), ExitLabel(1), ScheduleLabel(1), ThermostatButton(1)}) {
    for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
      SetText(first + outlet - 1, OutletLabel(outlet, program.outlet_names[static_cast<std::size_t>(outlet - 1)]));
    }
  }
}

}  // namespace qx
