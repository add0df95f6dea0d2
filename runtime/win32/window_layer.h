#pragma once
// The window and event layer: the only way the program reaches the desktop.
//
// Model
// -----
// Every window, widget, font, popup menu, tray icon and status bar is named by a small integer the
// program chooses (its number). A number >= 0 names a slot; creating an object under a number that
// is in use destroys the old object first. The number -1 asks for an anonymous object: the create
// call then returns a handle (a value below -1) that every other call accepts in place of a number.
// A call on a number (or handle) that names nothing does nothing and returns 0 (empty text for
// texts). Widgets of all windows share one number space.
//
// Create calls return the object's reference: the number itself, or the anonymous handle for -1.
// They return kNoObject (-1) on failure, because 0 is a valid number.
//
// Events: the program runs one loop on the user-interface thread (the thread that first used the
// layer) around WaitForEvent(). Each call takes exactly one thing off the queues and returns its
// code: first a pending window event (close request, move, size, minimise, ... queued as
// (code, window), a repeat of the queue's last entry being dropped), otherwise the next platform
// message, which is dispatched; if its dispatch made a widget, menu or tray event, that event's code
// is returned, otherwise the message's own number. The CurrentEvent...() accessors read a snapshot
// taken at the end of the wait. Window-timer callbacks (SetTimer on NativeWindowHandle) run during
// dispatch, here and inside the modal loops of ShowMessageBox and ShowPopupMenu.
//
// All texts are Windows-1251 bytes; the layer converts them to and from UTF-16 at its edge, so they
// show correctly on a Windows of any language.
//
// Only SetText (on a Text or StringField widget) and SetTrayToolTip may be called from another
// thread; see worker_text.cpp.

#include <string>

struct HWND__;  // the platform's window handle type, declared here so callers need not include windows.h

namespace qx {

inline constexpr int kNoObject = -1;

// Event codes returned by WaitForEvent.
inline constexpr int GadgetEvent = 13100;    // object: widget; type: notification code or layer type
inline constexpr int MenuEvent = 13101;      // object: menu item number
inline constexpr int TrayEvent = 13102;      // object: tray icon number; type 0..3 (below)
inline constexpr int MinimizeEvent = 13107;  // window: the window minimised
inline constexpr int CloseEvent = 16;        // window: the window asked to close (it stays open)
inline constexpr int WindowMovedEvent = 3;
inline constexpr int WindowSizedEvent = 5;
inline constexpr int WindowRepaintedEvent = 15;
inline constexpr int WindowActivatedEvent = 13104;
inline constexpr int WindowMaximizedEvent = 13108;
inline constexpr int WindowRestoredEvent = 13109;
inline constexpr int TimerTickEvent = 13110;  // a window timer without callback; object: timer id

// GadgetEvent types of the layer's own (other types are the control's notification code).
inline constexpr int kSpinUp = 1;
inline constexpr int kSpinDown = -1;
inline constexpr int kPanelPageChanged = 0;
inline constexpr int kPanelTabClicked = 1;
inline constexpr int kFieldFocusGained = 14000;
inline constexpr int kFieldFocusLost = 14001;

// TrayEvent types.
inline constexpr int kTrayLeftPressed = 0;
inline constexpr int kTrayRightPressed = 1;
inline constexpr int kTrayLeftDoubleClick = 2;
inline constexpr int kTrayRightDoubleClick = 3;

// NewWindow options.
inline constexpr int kWindowCentred = 0x1;          // x, y ignored; centred on the screen
inline constexpr int kWindowCentredOnActive = 0x2;  // centred on the active window
inline constexpr int kWindowNoWidgetList = 0x8;
inline constexpr int kWindowHidden = 0x10000000;
inline constexpr int kWindowCaption = 0xC00000;
inline constexpr int kWindowSystemMenu = 0x80000;
inline constexpr int kWindowMinimizeBox = 0x20000;
inline constexpr int kWindowMaximizeBox = 0x10000;
// The user may drag the window's edges; the layer then follows its client size (WindowClientSize).
inline constexpr int kWindowSizeBox = 0x40000;
inline constexpr int kMainWindowOptions = 0x10CA0001;

// ChangeWindowState states.
inline constexpr int kWindowStateNormal = 0;
inline constexpr int kWindowStateMaximized = 0x1000000;
inline constexpr int kWindowStateMinimized = 0x20000000;

// Binds the layer to the calling thread (the user-interface thread) and registers its classes.
// Every create call does this itself on first use; calling it first is optional. Returns false if
// the platform refused.
[[nodiscard]] bool InitWindowLayer();

// Opens a top-level window whose client area is width x height. Unless kWindowNoWidgetList is
// given, the window's widget list becomes the current one (new widgets go into it).
int NewWindow(int number, int x, int y, int width, int height, const std::string& title, int options);
void SetTopmost(int window, int on);
// hidden != 0 hides the window; 0 shows it again as it was (maximised, minimised or normal).
void SetWindowHidden(int window, int hidden);
// kWindowStateNormal, kWindowStateMaximized or kWindowStateMinimized; other values do nothing.
void ChangeWindowState(int window, int state);
void ActivateWindow(int window);
// Destroys the window with its widgets; the number names nothing afterwards.
void FreeWindow(int window);
// The client area's size in pixels at 96 DPI, as the program gave it or the user dragged it;
// false (and nothing written) if there is no such window.
bool WindowClientSize(int window, int& width, int& height);
// Gives the window a client area of width x height (pixels at 96 DPI) where it stands: for a
// window whose size follows from its widgets' measured texts.
void ResizeWindowClient(int window, int width, int height);
// The window's native handle (for SetTimer/KillTimer and the calls below that take one); nullptr
// if there is no such window.
[[nodiscard]] HWND__* NativeWindowHandle(int window);

// Blocks (without polling and without time-out) until the next event; returns its code.
int WaitForEvent();
// Makes the user-interface thread's WaitForEvent return `code` (>= WM_APP, so that no platform
// message has it) with CurrentEventWidget() == object. Callable from any thread; false once the
// layer is shut down. A modal loop running at that moment (message box, popup menu) swallows the
// event, so the program keeps what the event announces where its loop can look again; what must
// happen even then (a canvas's repaint) a worker asks for through a worker call (RedrawCanvas).
bool PostProgramEvent(int code, int object);
// The type of the event returned last; -1 when it has none.
[[nodiscard]] int CurrentEventType();
// GadgetEvent: the widget number. (Same field as CurrentEventMenuItem.)
[[nodiscard]] int CurrentEventWidget();
// MenuEvent: the item number; TrayEvent: the tray icon number.
[[nodiscard]] int CurrentEventMenuItem();
// The number of the window the event belongs to, -1 if none.
[[nodiscard]] int CurrentEventWindow();

}  // namespace qx
