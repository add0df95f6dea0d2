#pragma once
// Status bar, popup menu, tray icon, message box, worker threads, the program's own path, and the
// orderly release of the whole window layer.

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/win32/window_layer.h"

struct HICON__;  // the platform's icon handle type
struct _GUID;    // the platform's class identifier

namespace qx {

// --- Status bar -----------------------------------------------------------------------------
// Creates a status bar along the bottom of `window` (minimum height 18 pixels); it follows the
// window's size. It becomes the current status bar.
[[nodiscard]] int NewStatusBar(int number, HWND__* window);
// Appends a field `width` pixels wide to the current status bar (at most 256 fields).
void AddStatusField(int width);
// options: 4 centred, 8 right-aligned, 1 raised border, 2 no border, 0 left with sunken border.
inline constexpr int kStatusCentred = 4;
inline constexpr int kStatusRight = 8;
inline constexpr int kStatusRaised = 1;
inline constexpr int kStatusNoBorder = 2;
void SetStatusText(int statusBar, int field, const std::string& text, int options);
// The text shown in a field (without the alignment tabs); empty if there is no such field.
[[nodiscard]] std::string GetStatusText(int statusBar, int field);

// --- Popup menu -----------------------------------------------------------------------------
// Creates a popup menu; it becomes the menu AddMenuItem and AddMenuSeparator append to.
[[nodiscard]] int NewPopupMenu(int number);
void AddMenuItem(int item, const std::string& text);
void AddMenuSeparator();
// Opens the menu one pixel up and left of the mouse pointer, `window` being brought to the
// foreground as its owner; returns when the menu closes. A chosen item arrives later as a
// MenuEvent. Window timers keep running while it is open.
void ShowPopupMenu(int menu, HWND__* window);
void SetMenuItemLabel(int menu, int item, const std::string& text);
// The label of an item; empty if there is no such menu or item.
[[nodiscard]] std::string GetMenuItemLabel(int menu, int item);
// Shows or clears the check mark in front of an item.
void SetMenuItemChecked(int menu, int item, bool checked);
// Whether the item shows a check mark; false if there is no such menu or item.
[[nodiscard]] bool IsMenuItemChecked(int menu, int item);

// --- Tray icon ------------------------------------------------------------------------------
// Puts an icon in the notification area, tied to `window`, which receives its mouse events as
// TrayEvents. The layer owns `icon` from now on (also when the call fails) and destroys it with
// the tray icon. Returns 1 if the shell took the icon, 0 if not; an icon the shell refused is kept
// and offered again every 2 s and when the taskbar is created, until the shell takes it (nothing
// is kept for a window that does not exist). A shown icon is added again after the taskbar has
// been re-created.
[[nodiscard]] int AddTrayIcon(int number, HWND__* window, HICON__* icon);
// Sets the tooltip to the first 63 characters of `text`. Callable from a worker thread.
void SetTrayToolTip(int number, const std::string& text);
// The tooltip as last set (Windows-1251), empty if there is no such icon.
[[nodiscard]] std::string GetTrayToolTip(int number);
// The program's icon (resource 1) at the small-icon size of the system DPI, or nullptr.
[[nodiscard]] HICON__* LoadProgramTrayIcon();
// A notification from the icon with the warning sign: shown by the shell beside the tray (or kept
// back by it while the user does not want to be disturbed); it never opens a window of ours nor
// takes the focus. Returns whether the shell took it; an icon the shell has not taken shows none.
bool ShowTrayWarning(int number, const std::string& title, const std::string& text);

// --- Message box ----------------------------------------------------------------------------
// A modal message box; returns the button pressed (IDOK = 1, ...). While it is open the thread's
// other visible, enabled top-level windows are disabled; its owner is the foreground window when
// that belongs to this process. Window timers keep running while it is open. options are the
// platform's MB_ flags (0x10: error icon, one OK button).
int ShowMessageBox(const std::string& title, const std::string& text, int options);
// The same box, its text followed by a line break and the full path of the file `name` (relative
// to the working folder). The path goes to the box in UTF-16 as the file system gives it, so a
// folder named in any language shows as it is.
inline constexpr int kWarningBox = 0x30;  // warning icon, one OK button
int ShowFileMessageBox(const std::string& title, const std::string& text, const std::string& name, int options);

// --- Device changes -------------------------------------------------------------------------
// Asks the system to tell window `number` whenever a device interface of this class arrives or
// leaves, until the window is destroyed. False if there is no such window or the system refused;
// then nothing can be known of changes and the caller must look for itself.
[[nodiscard]] bool WatchDeviceInterfaces(int number, const _GUID& interface_class);
// How many device changes the layer's windows have been told of since the process started: those
// asked for with WatchDeviceInterfaces, and the system's "device tree changed" broadcast that
// every top-level window gets. Any change counts; what changed is the caller's to find out.
[[nodiscard]] std::uint64_t DeviceChangesSeen();

// --- One instance per session ---------------------------------------------------------------
// Claims `name` for this process in the user's session (a named mutex in Local\) until the
// process ends. False if another process of the session holds it.
[[nodiscard]] bool ClaimSessionInstance(const std::string& name);
// Posts the registered window message `message` to the top-level window titled `title` that the
// window layer of another process made, waiting up to timeout_ms for that window to appear, and
// lets that process come to the foreground. Returns whether it was posted.
bool PostToOtherInstance(const std::string& message, const std::string& title, int timeout_ms);
// The event code WaitForEvent returns for the registered window message `message`; 0 if the
// platform refused to register it.
[[nodiscard]] int RegisteredMessageEvent(const std::string& message);

// --- Threads and process --------------------------------------------------------------------
// Runs procedure(parameter) on a new thread; returns its thread number (nonzero) or 0 on failure.
// The thread is never stopped or waited for by the layer.
[[nodiscard]] int StartThread(std::function<void(int)> procedure, int parameter);
// The full path of the running program's file, Windows-1251 (at most 260 characters).
[[nodiscard]] std::string ProgramFilePath();
// The Run key and log-on tasks start a program in the system folder, where none of the user's
// files are and a user may not write. When the working folder is the Windows folder or a system
// folder (SysWOW64 included), the program file's own folder becomes the working folder, so every
// file the program names relative to it (the settings file first of all) is the one beside the
// program. Any other working folder is kept: that is where a user's existing files are. Returns
// whether the folder was changed.
bool LeaveSystemWorkingFolder();

// --- Start at log-on ------------------------------------------------------------------------
// Whether Windows starts this program file when the user logs on: the user's Run value `name`
// exists, names this program file, and Task Manager has not switched it off.
[[nodiscard]] bool StartsAtLogon(const std::string& name);
// With `on`, writes the Run value `name` (the program file's full path in quotes) and, where Task
// Manager had switched that value off, switches it on there; without, removes the Run value.
// False when a write failed, with the system's reason (Windows-1251) in `reason`.
[[nodiscard]] bool SetStartAtLogon(const std::string& name, bool on, std::string& reason);
// At program end: closes the started threads' handles (without stopping them), removes every tray
// icon, closes a preference file left open, destroys every window with its widgets and every font.
// A worker waiting in SetText or SetTrayToolTip is released (its change is dropped), and later
// worker calls return at once. The layer is then as before its first use: objects are gone, and a
// new create call starts it again on the calling thread.
void ShutdownWindowLayer();

}  // namespace qx
