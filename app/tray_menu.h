#pragma once
// The tray icon, its popup menu and the labels that carry the outlet names.
//
// Menu items 1-4 read "n. " + name + " " + marker. Names shorter than 19 minus the length of the
// shortest name are lengthened with "_" to that length, so that the markers of short names come
// out roughly in one column.

#include "app/program.h"

namespace qx {

// The name of the program's value in the user's Run key.
inline constexpr char kLogonValueName[] = "Quellarotix";

void BuildPopupMenu();
// Ticks item 8 when Windows starts this program file at log-on. It asks the registry, so it runs
// as the menu opens, not with the label refreshes the timers make.
void ShowLogonMark();
// Writes or removes the log-on start, the other way round from the mark the menu showed; a
// failure is told in a box, with the system's reason.
void ToggleStartAtLogon();
// Adds tray icon 1 with the program file's own icon to window 0. Returns false if the shell
// refused it.
[[nodiscard]] bool AddProgramTrayIcon();
// Pads the names in place (the padded names stay until the next copy from the name fields),
// recomputes the markers from check boxes 1-4 and relabels menu items 1-4.
void RefreshTrayMenu(Program& program);
// Writes "n. " + name into the labels of tabs 2-4 (widgets 19..34).
void RefreshNameLabels(const Program& program);

// 19 minus the length of the shortest name.
[[nodiscard]] int PadLength(const OutletNames& names);

}  // namespace qx
