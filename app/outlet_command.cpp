#include "app/outlet_command.h"

#include "app/tray_menu.h"
#include "app/widget_ids.h"
#include "runtime/win32/widgets.h"

namespace qx {

bool CarryOutOutletCommand(Program& program, unsigned outlet_bits, OutletSetCommand command) {
  // Without a device nobody is shown a box: a script's desktop, or the PC behind a phone's
  // dashboard, may be unattended.
  if (!program.device.HasControlHandle()) return false;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if ((outlet_bits & (1u << (outlet - 1))) == 0) continue;
    const int state = command == OutletSetCommand::kOn    ? 1
                      : command == OutletSetCommand::kOff ? 0
                                                          : (GetState(OutletCheckBox(outlet)) == 0 ? 1 : 0);
    SetState(OutletCheckBox(outlet), state);
  }
  // As the tray menu does: one report for the whole command, then the menu's markers.
  program.device.SendOutletReport();
  RefreshTrayMenu(program);
  return true;
}

}  // namespace qx
