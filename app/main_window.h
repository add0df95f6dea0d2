#pragma once
// The main window (window 0): four tabs of widgets that are at the same time the program's store
// of outlet states, names, policies, schedule times and thermostat bands.

#include "automation/settings_file.h"

namespace qx {

// Builds window 0, hidden and topmost, with every widget in its fixed order (which is also the
// Tab order). Labels and name fields show `names`. Returns false if the window could not be made.
[[nodiscard]] bool BuildMainWindow(const OutletNames& names);

// "n. " followed by the name: the text of every label that names outlet n.
[[nodiscard]] std::string OutletLabel(int outlet, const OutletName& name);

}  // namespace qx
