#pragma once
// The "Связь с Home Assistant (MQTT)" window (window 3): the MQTT settings as fields, "Применить"
// to take them, and the link's status line. The fields are read only when the button is pressed,
// so nothing reconnects while the user types. Its state is its widgets.

#include "app/program.h"

namespace qx {

// Opens the window with the program's settings in its fields (the password box stays empty), or
// brings it to the front as it is.
void ShowMqttWindow(const Program& program);

// The loop's steps for the window's events; each returns whether the event was the window's.
bool OnMqttGadgetEvent(Program& program, int widget);
bool OnMqttWindowEvent(int kind, int window);

// The clock's tick: the status line follows the bridge while the window is open.
void RefreshMqttStatus(const Program& program);

}  // namespace qx
