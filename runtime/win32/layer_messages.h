#pragma once
// The private message numbers the layer sends and posts to its own windows. Tests use them to
// stand in for the shell (tray notifications) exactly as the platform would deliver them.

#include <windows.h>

namespace qx {

// Posted by a widget's event hook (panel page change, spin arrows, field focus): wParam is the
// widget reference, lParam the event type. Delivered after the change it reports.
inline constexpr UINT kMsgWidgetEvent = WM_APP + 0x100;
// The tray icon's callback message (wParam: icon id, lParam: the mouse message), as the shell
// delivers it; the layer re-posts it once as kMsgTrayPosted.
inline constexpr UINT kMsgTrayCallback = WM_APP + 0x101;
inline constexpr UINT kMsgTrayPosted = WM_APP + 0x102;
// Sent (without waiting) to the layer's dispatcher window by a worker thread that has queued a
// text change for the user-interface thread.
inline constexpr UINT kMsgRunWorkerRequests = WM_APP + 0x103;

// Posted to the dispatcher by PostProgramEvent: wParam is the event code, lParam its object.
inline constexpr UINT kMsgProgramEvent = WM_APP + 0x104;

// Accelerator command ids of Tab and Shift+Tab.
inline constexpr WORD kCommandNextWidget = 0xFF01;
inline constexpr WORD kCommandPreviousWidget = 0xFF02;

}  // namespace qx
