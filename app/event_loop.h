#pragma once
// The program's one event loop, on the user-interface thread. Timer procedures run inside its
// wait (and inside the modal waits of the message box and the popup menu), never beside it.

#include "app/program.h"

namespace qx {

// One event as the loop sees it: its kind (the code WaitForEvent returned), the widget or menu
// item it concerns, the tray click type, and the window it belongs to (-1 for none).
struct Event {
  int kind = 0;
  int object = 0;
  int type = -1;
  int window = -1;
};

[[nodiscard]] Event NextEvent();

// Acts on one event; returns false when the loop is to end (a close request from the main or the
// Thermometer window, or "Выход").
[[nodiscard]] bool DispatchEvent(Program& program, const Event& event);

// Takes the names over from their fields, each cut to 19 characters.
void TakeNamesFromFields(Program& program);

// Dispatches events until the loop ends.
void RunEventLoop(Program& program);

}  // namespace qx
