#pragma once
// One Quellarotix per user session. The program starts hidden, so a user who saw nothing happen
// starts it again; a second instance would send its own start-up report over the outlets the user
// set in the first, show its own boxes, and overwrite the first one's settings at exit.

namespace qx {

// True for the first instance of the session. A later one asks the first to show its main window
// (waiting up to 5 s for that window to exist) and gets false: it must then end with exit code 0,
// before it touches the device, the settings file or the screen.
[[nodiscard]] bool BecomeOnlyInstance();

// The event by which the first instance hears that the program was started again; the loop
// handles it as a left click on the tray icon.
[[nodiscard]] int ShowRequestEvent();

}  // namespace qx
